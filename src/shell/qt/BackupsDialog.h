#pragma once

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/TextTable.h"
#include "memory/BackupKeeper.h"
#include "rig/ImageComparison.h"
#include "rig/ServiceReport.h"

namespace calvex {

class CalvexCore;

// File > Compare with backup / Restore backup to radio: every file of the backups folder, the
// connected transceiver's backups first, each labelled by what made it; a file that cannot be
// used is listed with its reason. The backup selected is compared with the program's image or,
// in compare mode, with another backup of the same model, which needs no transceiver connected.
// A backup file from elsewhere on the disk is listed once opened, checked as the folder's files
// are. In restore mode the selected backup is written to the radio after the technician has
// confirmed what will change. Nothing in the folder is ever written or removed here.
class BackupsDialog final : public QDialog {
    Q_OBJECT

  public:
    enum class Mode { Compare, Restore };

    BackupsDialog(CalvexCore& core, Mode mode, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    // Reads the folder and the files opened from elsewhere again.
    void Refresh();
    // The transceiver was connected, or is no longer: a question asked of the radio as it was is
    // withdrawn, and the list and comparison follow.
    void ConnectionChanged();
    // The question asked before a restore, from the comparison of the selected backup.
    QString RestoreQuestion() const;

    // Asks for a file, given the path suggested (a file dialog unless a test says); an empty
    // answer chooses none. One for Save as CSV, one for opening a backup from elsewhere.
    using FileChooser = std::function<QString(const QString& suggested)>;
    void saveFileChooser(FileChooser choose) { saveFileChooser_ = std::move(choose); }
    void openFileChooser(FileChooser choose) { openFileChooser_ = std::move(choose); }

    // "Restore from file…" (restore mode) or "Open file…" (compare mode): a backup file chosen
    // anywhere on the disk is listed first and selected; in restore mode the question follows
    // when it may be written to the connected transceiver, and otherwise a message says why
    // not. The folder is left as it is.
    void OpenFile();
    void OpenFile(const QString& path);

    // The comparison shown, as the technician copies it: tab-separated with its header line
    // (Copy, Ctrl+C), or saved as CSV to a file the save chooser gives.
    QString ComparisonText() const;
    void CopyComparison();
    void SaveComparisonAsCsv();
    // Compare mode, two backups of one radio compared: the report of that earlier visit, the
    // older backup as found and the newer as left. Nothing otherwise.
    std::optional<ServiceReport> ReportOfComparison() const;

    static constexpr int kTimeColumn = 0;
    static constexpr int kMadeColumn = 1;
    static constexpr int kRadioColumn = 2;
    static constexpr int kFileColumn = 3;

    // Controls, for tests.
    QTreeWidget* backupList() const { return list_; }
    QLabel* detailLabel() const { return detail_; }
    QComboBox* compareWith() const { return compareWith_; }
    QTreeWidget* differences() const { return differences_; }
    QLabel* summaryLabel() const { return summary_; }
    QPushButton* restoreButton() const { return restore_; }
    QPushButton* openFileButton() const { return openFile_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* saveCsvButton() const { return saveCsv_; }
    QPushButton* reportButton() const { return report_; }
    QMessageBox* confirmBox() const { return confirm_.data(); }
    // A message that something asked here cannot be done.
    QMessageBox* problemBox() const { return problem_.data(); }
    // The name of the backup selected (a path for a file from elsewhere); empty when none is.
    std::string selectedName() const;

  signals:
    // The technician confirmed the restore of the backup file name (a name of the folder, or a
    // path for a file from elsewhere: BackupKeeper::Load reads either).
    void restoreConfirmed(const QString& name);
    // The technician asked for the report of the two backups compared.
    void reportMade(const calvex::ServiceReport& report);

  private:
    bool Connected() const;
    void FillCompareWith();
    void ShowSelected();
    // first, second: the columns' headings; the sources say what each image is (file, what made
    // it, when) in the table copied and saved.
    void ShowComparison(const ImageComparison& c, const QString& first, const QString& second,
                        const QString& firstSource, const QString& secondSource);
    // Why the backup loaded from name cannot be written to the connected transceiver now, as the
    // core says it; nothing when it can.
    std::optional<QString> WhyNotRestorable(const std::string& name, const BackupLoad& load) const;
    void AskRestore();
    void ShowProblem(const QString& text);

    CalvexCore& core_;
    Mode mode_;
    // Files opened from elsewhere, by path, the latest first.
    std::vector<std::string> outside_;
    std::vector<BackupKeeper::Entry> shown_;
    // Why the backups folder could not be listed; empty when it was.
    QString listProblem_;
    // The comparison shown, and with it what a restore would write.
    std::optional<ImageComparison> comparison_;
    bool againstProgram_ = false;
    std::string comparedImage_;
    std::string comparedSerial_;
    // Two backups of one radio compared, older first, with their names.
    struct Compared {
        std::string name;
        BackupRecord record;
    };
    std::optional<std::pair<Compared, Compared>> visit_;
    TextTable table_;
    FileChooser saveFileChooser_;
    FileChooser openFileChooser_;

    QTreeWidget* list_ = nullptr;
    QLabel* detail_ = nullptr;
    QComboBox* compareWith_ = nullptr;
    QLabel* summary_ = nullptr;
    QTreeWidget* differences_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* openFile_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* saveCsv_ = nullptr;
    QPushButton* report_ = nullptr;
    QAction* copyAction_ = nullptr;
    QPointer<QMessageBox> confirm_;
    QPointer<QMessageBox> problem_;
};

}  // namespace calvex
