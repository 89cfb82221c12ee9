// The service report as the technician gets it: the preview, the PDF (its text read back with
// pdftotext) and the CSV.
#include <gtest/gtest.h>

#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <algorithm>
#include <utility>
#include <variant>

#include "DesktopBench.h"
#include "rig/ReportSamples.h"
#include "shell/qt/BackupsDialog.h"
#include "shell/qt/ReportWindow.h"

namespace calvex {
namespace {

// How many images the document shows whose picture it holds (a sweep's curve, drawn in).
int ImagesShown(QTextDocument& document) {
    int images = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) continue;
            const QVariant image = document.resource(QTextDocument::ImageResource,
                                                     QUrl(format.toImageFormat().name()));
            images += !image.value<QImage>().isNull() ? 1 : 0;
        }
    }
    return images;
}

// The preview, and so the print and the PDF made of the same HTML, carries every block of the
// report's document in order, each text as written whatever markup it holds; each sweep's curve
// is drawn in, and a changed row's item stands out.
TEST(ServiceReportWindow, ThePreviewCarriesEveryBlockOfTheDocument) {
    for (const auto& sample : testing::ReportSamples()) {
        SCOPED_TRACE(sample.name);
        const ReportDocument document = BuildReportDocument(sample.report);
        ReportWindow window(sample.report, {});
        QTextDocument& preview = *window.preview()->document();
        EXPECT_EQ(testing::MissingText(preview.toPlainText().toStdString(),
                                       testing::ReportTexts(document)),
                  "");
        const auto curves = std::count_if(
            document.blocks.begin(), document.blocks.end(),
            [](const ReportBlock& block) { return std::holds_alternative<ReportCurve>(block); });
        EXPECT_EQ(ImagesShown(preview), curves);
    }
    ReportWindow window(testing::FullReport(), {});
    QTextDocument& preview = *window.preview()->document();
    for (const auto& [item, changed] : {std::pair{"Power(Hi)", true}, std::pair{"213", true},
                                        std::pair{"210", false}, std::pair{"Mod <W>", false}}) {
        QTextCursor at = preview.find(QString::fromUtf8(item));
        ASSERT_FALSE(at.isNull()) << item;
        EXPECT_EQ(at.charFormat().fontWeight() == QFont::Bold, changed) << item;
    }
}

TEST(ServiceReportWindow, ThePreviewThePdfAndTheCsvNameWhatChanged) {
    testing::Desktop d;
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QString next;
    QString suggested;
    d.window.saveFileChooser([&](const QString& s) {
        suggested = s;
        return next;
    });
    d.start();
    // Before Connect no visit is under way: the report is of an earlier one, from its backups.
    d.window.reportAction()->trigger();
    EXPECT_EQ(d.window.reportWindow(), nullptr);
    ASSERT_NE(d.window.backupsDialog(), nullptr);
    EXPECT_EQ(d.window.backupsDialog()->mode(), BackupsDialog::Mode::Compare);
    d.window.backupsDialog()->close();
    d.connect();
    d.core.Technician("A. Tech");
    const int power = d.line(" Power(Hi)");
    ASSERT_GE(power, 0);
    const int16_t found = d.core.console.Value(static_cast<int16_t>(power));
    d.core.console.UpDown(static_cast<int16_t>(power), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.idleAfterConnect(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.reportAction()->isEnabled(); }, 5000));

    d.window.reportAction()->trigger();
    ReportWindow* report = d.window.reportWindow();
    ASSERT_NE(report, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(report));
    QTest::qWait(50);
    EXPECT_EQ(report->preview()->verticalScrollBar()->value(), 0) << "the preview opens at its top";
    const QString preview = report->preview()->toPlainText();
    const QString row = QStringLiteral("Power(Hi)");
    EXPECT_TRUE(preview.contains(QStringLiteral("Adjustment items (1 changed)")))
        << preview.toStdString();
    EXPECT_TRUE(preview.contains(QStringLiteral("Technician: A. Tech")));
    EXPECT_EQ(testing::MissingText(preview.toStdString(), testing::ReportTexts(report->document())),
              "");

    const QString pdfPath = out.filePath(QStringLiteral("report.pdf"));
    next = pdfPath;
    report->pdfButton()->click();
    ASSERT_TRUE(QFileInfo::exists(pdfPath));
    EXPECT_TRUE(
        QFileInfo(suggested).fileName().startsWith(QStringLiteral("service-report-20417735-")))
        << suggested.toStdString() << ": the name says whose report it is";
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    ASSERT_FALSE(pdftotext.isEmpty()) << "pdftotext (poppler-utils) is installed by scripts/setup";
    QProcess text;
    text.start(pdftotext, {QStringLiteral("-layout"), pdfPath, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString& part :
         {QStringLiteral("Service report: Velka 2601/0100"), QStringLiteral("Technician: A. Tech"),
          QStringLiteral("Adjustment items (1 changed)"), row, QStringLiteral("changed"),
          QStringLiteral("Backups made in this visit")}) {
        EXPECT_TRUE(pdf.contains(part)) << part.toStdString() << "\n" << pdf.toStdString();
    }

    const QString csvPath = out.filePath(QStringLiteral("report.csv"));
    next = csvPath;
    report->csvButton()->click();
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString rows = QString::fromUtf8(csv.readAll());
    EXPECT_TRUE(rows.startsWith(QStringLiteral("item,found,left,changed\r\n")));
    EXPECT_TRUE(rows.contains(QStringLiteral("Power(Hi),%1,%2,yes\r\n").arg(found).arg(found + 2)))
        << rows.toStdString();
}

}  // namespace
}  // namespace calvex
