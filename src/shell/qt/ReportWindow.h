#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "rig/ServiceReport.h"

class QTextBrowser;
class QTextDocument;
class QPushButton;

namespace calvex {

// File > Service report: the report of the visit laid out for reading, printing (Qt's print
// dialog) and saving as PDF (A4, or Letter where the locale measures in inches) or CSV.
class ReportWindow final : public QDialog {
    Q_OBJECT
  public:
    // Where a file is saved, given the name suggested and the filter; empty: not saved.
    using FileChooser = std::function<QString(const QString& suggested, const QString& filter)>;
    ReportWindow(ServiceReport report, FileChooser choose, QWidget* parent = nullptr);

    // The report's document as the preview, the print and the PDF lay it out; every text is
    // escaped, so that markup in a file name shows as written.
    static QString Html(const ReportDocument& document);
    const ServiceReport& report() const { return report_; }
    const ReportDocument& document() const { return document_; }
    // The report as a PDF file's bytes.
    QByteArray Pdf() const;
    // Writes the PDF or the CSV in one step, never over a backup file; false (and why) when it
    // cannot, the earlier file then left whole.
    bool SavePdf(const QString& path, QString* why = nullptr) const;
    bool SaveCsv(const QString& path, QString* why = nullptr) const;

    QTextBrowser* preview() const { return preview_; }
    QPushButton* pdfButton() const { return pdf_; }
    QPushButton* csvButton() const { return csv_; }

  private:
    // The document with the sweep curves drawn in.
    void Fill(QTextDocument& document) const;
    void Save(const QString& filter, const QString& suffix, bool pdf);
    static bool Write(const QString& path, const std::string& contents, const QString& suffix,
                      QString* why);

    ServiceReport report_;
    ReportDocument document_;
    FileChooser choose_;
    QTextBrowser* preview_ = nullptr;
    QPushButton* pdf_ = nullptr;
    QPushButton* csv_ = nullptr;
};

}  // namespace calvex
