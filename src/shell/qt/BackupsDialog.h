#pragma once

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <optional>
#include <string>
#include <vector>

#include "memory/BackupKeeper.h"
#include "rig/ImageComparison.h"

namespace calvex {

class CalvexCore;

// File > Compare with backup / Restore backup to radio: the backups kept of the connected
// transceiver, and what differs between the one selected and the program's image. Every other
// file of the folder is listed greyed with the reason it cannot be chosen, so that a technician
// looking for a backup sees why it is not offered. In restore mode the selected backup is
// written to the radio after the technician has confirmed what will change.
class BackupsDialog final : public QDialog {
    Q_OBJECT

  public:
    enum class Mode { Compare, Restore };

    BackupsDialog(CalvexCore& core, Mode mode, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    // Reads the folder again.
    void Refresh();
    // The question asked before a restore, from the comparison of the selected backup.
    QString RestoreQuestion() const;

    static constexpr int kNameColumn = 0;
    static constexpr int kStatusColumn = 1;

    // Controls, for tests.
    QTreeWidget* backupList() const { return list_; }
    QTreeWidget* differences() const { return differences_; }
    QLabel* summaryLabel() const { return summary_; }
    QPushButton* restoreButton() const { return restore_; }
    QMessageBox* confirmBox() const { return confirm_.data(); }
    // The name of the backup selected; empty when none is.
    std::string selectedName() const;

  signals:
    // The technician confirmed the restore of the backup file name.
    void restoreConfirmed(const QString& name);

  private:
    void ShowSelected();
    void AskRestore();

    CalvexCore& core_;
    Mode mode_;
    std::vector<BackupKeeper::Entry> shown_;
    std::optional<ImageComparison> comparison_;
    std::string comparedSerial_;
    QTreeWidget* list_ = nullptr;
    QLabel* summary_ = nullptr;
    QTreeWidget* differences_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPointer<QMessageBox> confirm_;
};

}  // namespace calvex
