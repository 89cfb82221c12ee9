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
#include <QStringList>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <variant>

#include "shell/ChosenFile.h"
#include "shell/qt/Charts.h"
#include "shell/qt/PlainText.h"

namespace calvex {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s).toHtmlEscaped();
}

// The image a curve's block shows, block its place in the document.
QString CurveSource(std::size_t block) {
    return QStringLiteral("sweep:%1").arg(block);
}

// Renders each kind of block as HTML onto the end of html; block is the block's place in the
// document, which names a curve's image.
struct HtmlRenderer {
    QString& html;
    std::size_t block;

    void operator()(const ReportHeading& heading) const {
        html += QStringLiteral("<h3>%1</h3>").arg(q(heading.text));
    }

    void operator()(const ReportLines& lines) const {
        switch (lines.style) {
            case ReportLineStyle::Paragraph: {
                QStringList escaped;
                for (const auto& line : lines.lines)
                    escaped << q(line);
                html += QStringLiteral("<p>%1</p>").arg(escaped.join(QStringLiteral("<br>")));
                break;
            }
            case ReportLineStyle::Bullets:
                html += QStringLiteral("<ul>");
                for (const auto& line : lines.lines)
                    html += QStringLiteral("<li>%1</li>").arg(q(line));
                html += QStringLiteral("</ul>");
                break;
            case ReportLineStyle::Fixed:
                html += QStringLiteral("<pre>");
                for (const auto& line : lines.lines)
                    html += q(line) + QStringLiteral("\n");
                html += QStringLiteral("</pre>");
                break;
        }
    }

    void operator()(const ReportTable& table) const {
        html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
        for (const auto& column : table.columns) {
            html += (column.numeric ? QStringLiteral("<th>%1</th>")
                                    : QStringLiteral("<th align=\"left\">%1</th>"))
                        .arg(q(column.heading));
        }
        html += QStringLiteral("<th>%1</th></tr>").arg(q(table.changedHeading));
        for (const auto& row : table.rows) {
            html += QStringLiteral("<tr>");
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                QString cell = c < row.cells.size() ? q(row.cells[c]) : QString();
                if (row.changed && table.columns[c].strong)
                    cell = QStringLiteral("<b>%1</b>").arg(cell);
                html += (table.columns[c].numeric ? QStringLiteral("<td align=\"right\">%1</td>")
                                                  : QStringLiteral("<td>%1</td>"))
                            .arg(cell);
            }
            html += QStringLiteral("<td align=\"center\">%1</td></tr>")
                        .arg(row.changed ? q(table.changedText) : QString());
        }
        html += QStringLiteral("</table>");
    }

    void operator()(const ReportCurve& curve) const {
        html += QStringLiteral("<p>%1<br><img src=\"%2\"></p>")
                    .arg(q(curve.caption), CurveSource(block));
    }
};

QPageSize LocalePageSize() {
    // Letter where paper is measured in inches (the United States and its neighbours).
    return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize(QPageSize::Letter)
                                                                      : QPageSize(QPageSize::A4);
}

}  // namespace

QString ReportWindow::Html(const ReportDocument& document) {
    QString html = QStringLiteral("<h2>%1</h2>").arg(q(document.title));
    for (std::size_t b = 0; b < document.blocks.size(); ++b)
        std::visit(HtmlRenderer{html, b}, document.blocks[b]);
    return html;
}

ReportWindow::ReportWindow(ServiceReport report, FileChooser choose, QWidget* parent)
    : QDialog(parent),
      report_(std::move(report)),
      document_(BuildReportDocument(report_)),
      choose_(std::move(choose)) {
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
    for (std::size_t b = 0; b < document_.blocks.size(); ++b) {
        const auto* curve = std::get_if<ReportCurve>(&document_.blocks[b]);
        if (curve == nullptr) continue;
        SweepChart chart(QString::fromStdString(curve->name));
        chart.curve(curve->curve);
        chart.resize(460, 240);
        document.addResource(QTextDocument::ImageResource, QUrl(CurveSource(b)),
                             chart.grab().toImage());
    }
    document.setHtml(Html(document_));
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
        writer.setTitle(QString::fromStdString(document_.title));
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
    return Write(path, ReportDocumentCsv(document_), QStringLiteral(".csv"), why);
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
