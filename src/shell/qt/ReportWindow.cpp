#include "shell/qt/ReportWindow.h"

#include <QBuffer>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/ChosenFile.h"
#include "shell/qt/Charts.h"
#include "shell/qt/PlainText.h"

namespace calvex {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s).toHtmlEscaped();
}

QString list(const std::vector<std::string>& lines, const char* none) {
    if (lines.empty()) return QStringLiteral("<p>%1</p>").arg(QString::fromLatin1(none));
    QString html = QStringLiteral("<ul>");
    for (const auto& line : lines)
        html += QStringLiteral("<li>%1</li>").arg(q(line));
    return html + QStringLiteral("</ul>");
}

QPageSize LocalePageSize() {
    // Letter where paper is measured in inches (the United States and its neighbours).
    return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize(QPageSize::Letter)
                                                                      : QPageSize(QPageSize::A4);
}

}  // namespace

QString ReportWindow::Html(const ServiceReport& r) {
    QString html = QStringLiteral("<h2>%1</h2>").arg(q(r.title));
    for (const auto& line : r.header)
        html += q(line) + QStringLiteral("<br>");
    html += QStringLiteral("<h3>Adjustment items (%1 changed)</h3>").arg(r.changedItems());
    html += QStringLiteral(
        "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">"
        "<tr><th align=\"left\">Item</th><th>Found</th><th>Left</th><th>Changed</th></tr>");
    for (const auto& i : r.items) {
        const QString b = i.changed ? QStringLiteral("<b>") : QString();
        const QString e = i.changed ? QStringLiteral("</b>") : QString();
        html += QStringLiteral(
                    "<tr><td>%1%2%3</td><td align=\"right\">%4</td><td align=\"right\">%1%5%3</td>"
                    "<td align=\"center\">%6</td></tr>")
                    .arg(b, q(i.name), e, q(i.found), q(i.left),
                         i.changed ? QStringLiteral("changed") : QString());
    }
    html += QStringLiteral("</table>");
    html += QStringLiteral("<h3>TXF table</h3>") + list(r.txf, "unchanged");
    html += QStringLiteral("<h3>Band-pass filter sweeps</h3>");
    if (r.sweeps.empty()) html += QStringLiteral("<p>%1</p>").arg(q(r.noSweeps));
    for (std::size_t k = 0; k < r.sweeps.size(); ++k) {
        html += QStringLiteral("<p>%1: %2<br><img src=\"sweep:%3\"></p>")
                    .arg(q(r.sweeps[k].filter), q(r.sweeps[k].summary))
                    .arg(k);
    }
    if (!r.otherChanges.empty()) {
        html +=
            QStringLiteral("<h3>Other changes in the memory</h3>") + list(r.otherChanges, "none");
    }
    html += QStringLiteral("<h3>Readings at the end</h3>");
    if (r.readings.empty()) {
        html += QStringLiteral("<p>%1</p>").arg(q(r.noReadings));
    } else {
        html += QStringLiteral("<pre>");
        for (const auto& line : r.readings)
            html += q(line) + QStringLiteral("\n");
        html += QStringLiteral("</pre>");
    }
    html += QStringLiteral("<h3>%1</h3>").arg(q(r.backupsHeading)) + list(r.backups, "none");
    return html;
}

ReportWindow::ReportWindow(ServiceReport report, FileChooser choose, QWidget* parent)
    : QDialog(parent), report_(std::move(report)), choose_(std::move(choose)) {
    setWindowTitle(QStringLiteral("Service report"));
    auto* layout = new QVBoxLayout(this);
    preview_ = new QTextBrowser(this);
    Fill(*preview_->document());
    // The text went in before the cursor, which now stands at its end: the preview opens at the
    // report's title instead.
    preview_->moveCursor(QTextCursor::Start);
    layout->addWidget(preview_);
    auto* buttons = new QHBoxLayout;
    auto* print = new QPushButton(QStringLiteral("&Print\u2026"), this);
    pdf_ = new QPushButton(QStringLiteral("Save as P&DF\u2026"), this);
    csv_ = new QPushButton(QStringLiteral("Save as &CSV\u2026"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {print, pdf_, csv_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(print, &QPushButton::clicked, this, [this] {
        QPrinter printer;
        printer.setPageSize(LocalePageSize());
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted) return;
        QTextDocument document;
        Fill(document);
        document.print(&printer);
    });
    connect(pdf_, &QPushButton::clicked, this,
            [this] { Save(QStringLiteral("PDF files (*.pdf)"), QStringLiteral(".pdf"), true); });
    connect(csv_, &QPushButton::clicked, this,
            [this] { Save(QStringLiteral("CSV files (*.csv)"), QStringLiteral(".csv"), false); });
    // As tall as the screen allows, with room for the window's frame.
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    const int room = screen != nullptr ? screen->availableGeometry().height() - 60 : 820;
    resize(760, std::clamp(room, 300, 820));
}

void ReportWindow::Fill(QTextDocument& document) const {
    for (std::size_t k = 0; k < report_.sweeps.size(); ++k) {
        SweepChart chart(QString::fromStdString(report_.sweeps[k].filter));
        chart.curve(report_.sweeps[k].curve);
        chart.resize(460, 240);
        document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("sweep:%1").arg(k)),
                             chart.grab().toImage());
    }
    document.setHtml(Html(report_));
}

QByteArray ReportWindow::Pdf() const {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        // The writer finishes the PDF when it goes.
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        writer.setPageSize(LocalePageSize());
        writer.setCreator(QStringLiteral("Calvex ADJ"));
        writer.setTitle(QString::fromStdString(report_.title));
        QTextDocument document;
        Fill(document);
        document.print(&writer);
    }
    return pdf;
}

bool ReportWindow::SavePdf(const QString& path, QString* why) const {
    // Made whole in memory first, then written in one step as every file the program writes.
    const QByteArray pdf = Pdf();
    if (pdf.isEmpty()) {
        if (why != nullptr) *why = QStringLiteral("the PDF could not be made");
        return false;
    }
    return Write(path, std::string(pdf.constData(), static_cast<std::size_t>(pdf.size())),
                 QStringLiteral(".pdf"), why);
}

bool ReportWindow::SaveCsv(const QString& path, QString* why) const {
    return Write(path, ServiceReportCsv(report_), QStringLiteral(".csv"), why);
}

bool ReportWindow::Write(const QString& path, const std::string& contents, const QString& suffix,
                         QString* why) {
    const auto saved =
        WriteChosenFile(path.toStdString(), contents, ChosenKind::Other, suffix.toStdString());
    if (!saved && why != nullptr) *why = QString::fromStdString(saved.reason());
    return saved.ok();
}

void ReportWindow::Save(const QString& filter, const QString& suffix, bool pdf) {
    // The name says whose report it is and when it was saved.
    const QString suggested = QDir::home().filePath(QStringLiteral("%1-%2%3").arg(
        QString::fromStdString(report_.fileStem),
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm")), suffix));
    const QString path = choose_
                             ? choose_(suggested, filter)
                             : QFileDialog::getSaveFileName(this, windowTitle(), suggested, filter);
    if (path.isEmpty()) return;
    QString why;
    if (!(pdf ? SavePdf(path, &why) : SaveCsv(path, &why))) {
        auto* box =
            new QMessageBox(QMessageBox::Critical, windowTitle(),
                            QStringLiteral("Cannot save the report.\n%1: %2").arg(path, why),
                            QMessageBox::Ok, this);
        ShowPlainText(*box);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

}  // namespace calvex
