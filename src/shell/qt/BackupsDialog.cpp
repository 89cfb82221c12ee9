#include "shell/qt/BackupsDialog.h"

#include <QClipboard>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

#include "base/Common.h"
#include "memory/clsCmcEeprom.h"
#include "shell/CalvexCore.h"
#include "shell/ChosenFile.h"
#include "shell/qt/PlainText.h"

namespace calvex {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::size_t DifferingBytes(const ImageComparison& c) {
    return std::accumulate(
        c.others.begin(), c.others.end(), std::size_t{0},
        [](std::size_t n, const MapDifference& d) { return n + d.addresses.size(); });
}

// "1 other byte", "2 other bytes".
QString Counted(std::size_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

// "2 adjustment items and 1 other byte".
QString ItemsAndBytes(const ImageComparison& c, const char* item, const char* items) {
    return QStringLiteral("%1 and %2")
        .arg(Counted(c.items.size(), item, items),
             Counted(DifferingBytes(c), "other byte", "other bytes"));
}

// The technician's clock, with UTC beside it: the file names and headers hold UTC alone.
QString When(int64_t utcSeconds) {
    const int offset = QDateTime::fromSecsSinceEpoch(utcSeconds).offsetFromUtc();
    return q(LocalAndUtcTime(utcSeconds, offset));
}

// "Read at Connect, 2024-05-01 14:00:00 (12:00:00 UTC)".
QString Described(const BackupRecord& r) {
    return QStringLiteral("%1, %2").arg(q(BackupOriginLabel(r.origin)), When(r.utcSeconds));
}

QString Radio(const BackupIdentity& id) {
    return QStringLiteral("model code %1, sub code %2, serial %3")
        .arg(q(id.model), q(id.sub), q(id.serial));
}

}  // namespace

BackupsDialog::BackupsDialog(CalvexCore& core, Mode mode, QWidget* parent)
    : QDialog(parent), core_(core), mode_(mode) {
    setWindowTitle(mode == Mode::Restore ? QStringLiteral("Restore backup to radio")
                                         : QStringLiteral("Compare with backup"));

    list_ = new QTreeWidget(this);
    list_->setColumnCount(4);
    list_->setHeaderLabels({QStringLiteral("Time (local, UTC)"), QStringLiteral("Made by"),
                            QStringLiteral("Transceiver"), QStringLiteral("File")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // A long reason is cut here; the tooltip and the detail below give it whole.
    list_->header()->setSectionResizeMode(kMadeColumn, QHeaderView::Interactive);
    list_->setColumnWidth(kMadeColumn, fontMetrics().horizontalAdvance(
                                           QStringLiteral("Saved by hand (program's image)MMMM")));
    list_->setMinimumWidth(760);

    // Names, header fields and reasons come from files: shown as written, never as HTML.
    detail_ = new QLabel(this);
    ShowPlainText(*detail_);
    detail_->setWordWrap(true);
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    compareWith_ = new QComboBox(this);
    compareWith_->setPlaceholderText(QStringLiteral("Choose a backup"));
    compareWith_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* compareRow = new QHBoxLayout;
    compareRow->addWidget(new QLabel(QStringLiteral("Compare with:"), this));
    compareRow->addWidget(compareWith_, 1);
    // A restore is always weighed against what the program holds of the connected radio.
    compareWith_->setVisible(mode == Mode::Compare);
    compareRow->itemAt(0)->widget()->setVisible(mode == Mode::Compare);

    summary_ = new QLabel(this);
    ShowPlainText(*summary_);
    summary_->setWordWrap(true);
    differences_ = new QTreeWidget(this);
    differences_->setColumnCount(4);
    // Headed before anything is compared, as after.
    differences_->setHeaderLabels(
        {QStringLiteral("Item"), QStringLiteral("Backup"),
         mode == Mode::Restore ? QStringLiteral("Now") : QStringLiteral("Compared with"),
         QStringLiteral("Addresses")});
    differences_->setSelectionMode(QAbstractItemView::NoSelection);
    differences_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    differences_->header()->setMinimumSectionSize(140);
    differences_->setMinimumHeight(240);
    copyAction_ = new QAction(QStringLiteral("&Copy"), differences_);
    copyAction_->setShortcut(QKeySequence::Copy);
    copyAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    differences_->addAction(copyAction_);
    differences_->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    openFile_ =
        buttons->addButton(mode == Mode::Restore ? QStringLiteral("Restore from &file\u2026")
                                                 : QStringLiteral("&Open file\u2026"),
                           QDialogButtonBox::ActionRole);
    copy_ = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    saveCsv_ =
        buttons->addButton(QStringLiteral("Save as CS&V\u2026"), QDialogButtonBox::ActionRole);
    report_ =
        buttons->addButton(QStringLiteral("Service re&port\u2026"), QDialogButtonBox::ActionRole);
    report_->setVisible(mode == Mode::Compare);
    report_->setEnabled(false);
    report_->setToolTip(
        QStringLiteral("A report of an earlier visit: two backups of one "
                       "transceiver compared, the older as found"));
    restore_ = buttons->addButton(QStringLiteral("&Restore\u2026"), QDialogButtonBox::ActionRole);
    restore_->setVisible(mode == Mode::Restore);
    restore_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Backups in %1, the connected transceiver's "
                                              "first, newest first:")
                                   .arg(q(core_.backups.store().folder())),
                               this);
    ShowPlainText(*heading);
    layout->addWidget(heading);
    layout->addWidget(list_, 1);
    layout->addWidget(detail_);
    layout->addLayout(compareRow);
    layout->addWidget(summary_);
    layout->addWidget(differences_, 2);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(restore_, &QPushButton::clicked, this, [this] { AskRestore(); });
    connect(openFile_, &QPushButton::clicked, this, [this] { OpenFile(); });
    connect(copy_, &QPushButton::clicked, this, [this] { CopyComparison(); });
    connect(copyAction_, &QAction::triggered, this, [this] { CopyComparison(); });
    connect(saveCsv_, &QPushButton::clicked, this, [this] { SaveComparisonAsCsv(); });
    connect(report_, &QPushButton::clicked, this, [this] {
        if (auto report = ReportOfComparison()) emit reportMade(*report);
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { ShowSelected(); });
    connect(compareWith_, &QComboBox::currentIndexChanged, this, [this] { ShowSelected(); });

    Refresh();
}

bool BackupsDialog::Connected() const {
    return core_.rig.RigVelkaProp_EditEnabled() && !core_.RestoreRunning();
}

void BackupsDialog::Refresh() {
    const std::string selected = selectedName();
    const std::string key = Connected() ? core_.ConnectedIdentity().key() : std::string();

    std::vector<BackupKeeper::Entry> all;
    for (const std::string& path : outside_)
        all.push_back({path, core_.backups.Load(path)});
    // A folder that cannot be listed is told as such: a part of it would pass for all of it.
    auto listed = core_.backups.List();
    std::vector<BackupKeeper::Entry> folder;
    QString problem;
    if (listed) {
        folder = std::move(*listed);
    } else {
        problem = QStringLiteral("Cannot list the backups folder.\n\n%1: %2")
                      .arg(q(core_.backups.store().folder()), q(listed.reason()));
    }
    const bool newProblem = !problem.isEmpty() && problem != listProblem_;
    listProblem_ = problem;
    // The connected radio's backups, then the other usable ones, then the rest; List gives each
    // radio's newest first. The contents decide whose a file is, not its name.
    const auto ours = [&key](const BackupKeeper::Entry& e) {
        return !key.empty() && e.load.usable() && e.load.record->identity.key() == key;
    };
    const auto usable = [](const BackupKeeper::Entry& e) { return e.load.usable(); };
    const auto others = std::stable_partition(folder.begin(), folder.end(), ours);
    std::stable_partition(others, folder.end(), usable);
    std::move(folder.begin(), folder.end(), std::back_inserter(all));
    shown_ = std::move(all);

    const QSignalBlocker block(list_);
    list_->clear();
    QTreeWidgetItem* reselect = nullptr;
    for (const BackupKeeper::Entry& e : shown_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(kFileColumn, q(e.name));
        item->setToolTip(kFileColumn, PlainToolTip(q(e.name)));
        if (e.name == selected) reselect = item;
        if (!e.load.usable()) {
            // Readable at a glance as any other line: only the reason marks it.
            item->setText(kMadeColumn, QStringLiteral("Unusable: %1").arg(q(e.load.reason)));
            item->setIcon(kMadeColumn, style()->standardIcon(QStyle::SP_MessageBoxWarning));
            for (int col = 0; col < list_->columnCount(); ++col)
                item->setToolTip(col, PlainToolTip(q(e.load.reason)));
            continue;
        }
        const BackupRecord& r = *e.load.record;
        item->setText(kTimeColumn, When(r.utcSeconds));
        item->setText(kMadeColumn, q(BackupOriginLabel(r.origin)));
        item->setText(kRadioColumn, ours(e)
                                        ? QStringLiteral("%1 (connected)").arg(q(r.identity.serial))
                                        : q(r.identity.serial));
        item->setToolTip(kRadioColumn, PlainToolTip(Radio(r.identity)));
        if (BackupKeeper::IsPath(e.name)) {
            item->setToolTip(kFileColumn, PlainToolTip(QStringLiteral("%1\nOutside the backups "
                                                                      "folder")
                                                           .arg(q(e.name))));
        }
    }
    if (reselect != nullptr) reselect->setSelected(true);
    FillCompareWith();
    ShowSelected();
    if (newProblem) ShowProblem(listProblem_);
}

void BackupsDialog::FillCompareWith() {
    const bool chosen = compareWith_->currentIndex() >= 0;
    const QString keep = compareWith_->currentData().toString();
    const QSignalBlocker block(compareWith_);
    compareWith_->clear();
    // An empty name stands for the program's image.
    if (Connected()) compareWith_->addItem(QStringLiteral("The program's image"), QString());
    for (const BackupKeeper::Entry& e : shown_) {
        if (!e.load.usable()) continue;
        const BackupRecord& r = *e.load.record;
        compareWith_->addItem(
            QStringLiteral("%1, serial %2, %3").arg(Described(r), q(r.identity.serial), q(e.name)),
            q(e.name));
    }
    int index = chosen ? compareWith_->findData(keep) : -1;
    if (index < 0 && Connected()) index = 0;
    compareWith_->setCurrentIndex(index);
}

void BackupsDialog::ConnectionChanged() {
    if (confirm_ != nullptr) confirm_->close();
    Refresh();
}

std::string BackupsDialog::selectedName() const {
    const QList<QTreeWidgetItem*> s = list_->selectedItems();
    if (s.isEmpty()) return {};
    const int row = list_->indexOfTopLevelItem(s.front());
    if (row < 0 || static_cast<std::size_t>(row) >= shown_.size()) return {};
    return shown_[static_cast<std::size_t>(row)].name;
}

void BackupsDialog::ShowSelected() {
    differences_->clear();
    comparison_.reset();
    againstProgram_ = false;
    comparedImage_.clear();
    comparedSerial_.clear();
    visit_.reset();
    table_.clear();
    restore_->setEnabled(false);
    report_->setEnabled(false);
    copy_->setEnabled(false);
    saveCsv_->setEnabled(false);
    copyAction_->setEnabled(false);
    detail_->clear();

    const std::string name = selectedName();
    if (name.empty()) {
        summary_->setText(!listProblem_.isEmpty() ? listProblem_
                          : shown_.empty()        ? QStringLiteral("No backup has been kept yet.")
                                                  : QStringLiteral("Select a backup to compare."));
        return;
    }
    // Loaded again: the file may have changed since the list was read.
    const BackupLoad load = core_.backups.Load(name);
    if (!load.usable()) {
        detail_->setText(QStringLiteral("%1 cannot be used: %2").arg(q(name), q(load.reason)));
        summary_->setText(QStringLiteral("This file can be neither compared nor restored."));
        return;
    }
    const BackupRecord& r = *load.record;
    QString detail = QStringLiteral("%1\n%2\nTransceiver %3. Written by %4.")
                         .arg(q(name), Described(r), Radio(r.identity), q(r.program));
    if (BackupKeeper::IsPath(name)) detail += QStringLiteral(" Outside the backups folder.");
    detail_->setText(detail);

    const bool withProgram =
        mode_ == Mode::Restore ||
        (compareWith_->currentIndex() >= 0 && compareWith_->currentData().toString().isEmpty());
    if (withProgram) {
        if (!Connected()) {
            summary_->setText(mode_ == Mode::Restore
                                  ? QStringLiteral("Connect the transceiver to restore a backup.")
                                  : QStringLiteral("Choose a backup to compare with; the "
                                                   "program's image is offered while connected."));
            return;
        }
        if (const auto why = WhyNotComparable(r.identity, core_.ConnectedIdentity())) {
            summary_->setText(q(*why));
            return;
        }
        comparison_ = core_.CompareWithBackup(r);
        againstProgram_ = true;
        comparedImage_ = r.image;
        comparedSerial_ = r.identity.serial;
        ShowComparison(*comparison_, QStringLiteral("Backup"), QStringLiteral("Now"),
                       QStringLiteral("%1, %2").arg(q(name), Described(r)),
                       QStringLiteral("the program's image of serial %1")
                           .arg(q(core_.ConnectedIdentity().serial)));
        const ImageComparison& c = *comparison_;
        QString text =
            c.identical()
                ? QStringLiteral("The backup (%1) holds the same memory as the program.")
                      .arg(Described(r))
                : QStringLiteral("Backup (%1): %2 differ from the program's image.")
                      .arg(Described(r), ItemsAndBytes(c, "adjustment item", "adjustment items"));
        if (mode_ == Mode::Restore) {
            const auto why = WhyNotRestorable(name, load);
            if (why) text += QStringLiteral("\n") + *why;
            restore_->setEnabled(!why);
        }
        summary_->setText(text);
        return;
    }

    if (compareWith_->currentIndex() < 0) {
        // Nothing chosen yet: the same radio's backup before this one, what it was changed from.
        const auto selected = std::find_if(shown_.begin(), shown_.end(),
                                           [&name](const auto& e) { return e.name == name; });
        const auto before =
            selected == shown_.end()
                ? shown_.end()
                : std::find_if(std::next(selected), shown_.end(), [&r](const auto& e) {
                      return e.load.usable() && e.load.record->identity.key() == r.identity.key() &&
                             e.load.record->utcSeconds < r.utcSeconds;
                  });
        const int index = before == shown_.end() ? -1 : compareWith_->findData(q(before->name));
        if (index < 0) {
            summary_->setText(QStringLiteral("Choose what to compare it with."));
            return;
        }
        const QSignalBlocker block(compareWith_);
        compareWith_->setCurrentIndex(index);
    }
    const std::string otherName = compareWith_->currentData().toString().toStdString();
    if (otherName == name) {
        summary_->setText(
            QStringLiteral("Choose another backup to compare with: this is the "
                           "backup selected."));
        return;
    }
    const BackupLoad other = core_.backups.Load(otherName);
    if (!other.usable()) {
        summary_->setText(
            QStringLiteral("%1 cannot be used: %2").arg(q(otherName), q(other.reason)));
        return;
    }
    if (const auto why = WhyNotComparable(r.identity, other.record->identity)) {
        summary_->setText(q(*why));
        return;
    }
    clsCmcEeprom first;
    clsCmcEeprom second;
    first.WriteBlock(0, r.image);
    second.WriteBlock(0, other.record->image);
    comparison_ = CompareImages(first, second, core_.rig.RigVelkaOp_ComparedItems());
    ShowComparison(*comparison_, QStringLiteral("Backup"), QStringLiteral("Other backup"),
                   QStringLiteral("%1, %2").arg(q(name), Described(r)),
                   QStringLiteral("%1, %2").arg(q(otherName), Described(*other.record)));
    if (r.identity.key() == other.record->identity.key()) {
        Compared a{name, r};
        Compared b{otherName, *other.record};
        if (b.record.utcSeconds < a.record.utcSeconds) std::swap(a, b);
        visit_.emplace(std::move(a), std::move(b));
        report_->setEnabled(true);
    }
    const ImageComparison& c = *comparison_;
    summary_->setText(
        c.identical()
            ? QStringLiteral("The backup (%1) and the other backup (%2) hold the same memory.")
                  .arg(Described(r), Described(*other.record))
            : QStringLiteral("%1 differ between the backup (%2) and the other backup (%3).")
                  .arg(ItemsAndBytes(c, "adjustment item", "adjustment items"), Described(r),
                       Described(*other.record)));
}

void BackupsDialog::ShowComparison(const ImageComparison& c, const QString& first,
                                   const QString& second, const QString& firstSource,
                                   const QString& secondSource) {
    differences_->setHeaderLabels(
        {QStringLiteral("Item"), first, second, QStringLiteral("Addresses")});
    // Copied or saved, the table names what it compares.
    table_ = ComparisonTable(c, (first + QStringLiteral(": ") + firstSource).toStdString(),
                             (second + QStringLiteral(": ") + secondSource).toStdString());
    const std::size_t bytes = DifferingBytes(c);
    if (!c.items.empty()) {
        auto* group = new QTreeWidgetItem(
            differences_, {QStringLiteral("Adjustment items (%1)").arg(c.items.size())});
        for (const ItemDifference& d : c.items) {
            new QTreeWidgetItem(group, {q(d.title).trimmed(), q(d.backupValue).trimmed(),
                                        q(d.currentValue).trimmed()});
        }
    }
    if (!c.others.empty()) {
        auto* group =
            new QTreeWidgetItem(differences_, {QStringLiteral("Other parts of the memory (%1)")
                                                   .arg(Counted(bytes, "byte", "bytes"))});
        for (const MapDifference& d : c.others) {
            new QTreeWidgetItem(
                group, {q(d.name), q(d.backupText), q(d.currentText), q(AddressList(d.addresses))});
        }
    }
    differences_->expandAll();
    QFont bold = differences_->font();
    bold.setBold(true);
    for (int i = 0; i < differences_->topLevelItemCount(); ++i) {
        differences_->topLevelItem(i)->setFont(0, bold);
        differences_->topLevelItem(i)->setFirstColumnSpanned(true);
    }
    copy_->setEnabled(true);
    saveCsv_->setEnabled(true);
    copyAction_->setEnabled(true);
}

std::optional<QString> BackupsDialog::WhyNotRestorable(const std::string& name,
                                                       const BackupLoad& load) const {
    // The core's own words: the technician reads one story whichever refuses.
    const auto why = core_.WhyNotRestorable(name, load);
    if (!why) return std::nullopt;
    return q(*why).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString BackupsDialog::RestoreQuestion() const {
    if (!comparison_ || !againstProgram_) return {};
    QString text = QStringLiteral("Write %1 to the radio?")
                       .arg(ItemsAndBytes(*comparison_, "changed item", "changed items"));
    const std::string connected = core_.ConnectedIdentity().serial;
    if (comparedSerial_ != connected) {
        text += QStringLiteral(
                    "\n\nThe backup is of another unit, serial %1: the transceiver "
                    "connected, serial %2, would hold that unit's adjustments.")
                    .arg(q(comparedSerial_), q(connected));
    }
    const std::string name = selectedName();
    if (BackupKeeper::IsPath(name)) {
        text += QStringLiteral("\n\nThe file %1 is outside the backups folder.").arg(q(name));
    }
    return text;
}

void BackupsDialog::AskRestore() {
    const std::string name = selectedName();
    if (name.empty() || !comparison_ || !againstProgram_ || confirm_ != nullptr) return;
    // Opened, not run: the ticks go on while the technician reads it.
    confirm_ = new QMessageBox(QMessageBox::Question, windowTitle(), RestoreQuestion(),
                               QMessageBox::Yes | QMessageBox::No, this);
    ShowPlainText(*confirm_);
    confirm_->setDefaultButton(QMessageBox::No);
    confirm_->setAttribute(Qt::WA_DeleteOnClose);
    QAbstractButton* yes = confirm_->button(QMessageBox::Yes);
    connect(confirm_, &QMessageBox::buttonClicked, this, [this, yes, name](QAbstractButton* b) {
        if (b != yes) return;
        // Only what the technician saw compared may go to the radio.
        const BackupLoad now = core_.backups.Load(name);
        if (!now.usable() || now.record->image != comparedImage_) {
            ShowSelected();
            ShowProblem(
                QStringLiteral("The backup file has changed since it was compared; "
                               "nothing was written.\n\nLook at the comparison again."));
            return;
        }
        emit restoreConfirmed(q(name));
        close();
    });
    confirm_->open();
}

void BackupsDialog::OpenFile() {
    const QString suggested =
        outside_.empty() ? QDir::homePath() : QFileInfo(q(outside_.front())).absolutePath();
    const QString path = openFileChooser_
                             ? openFileChooser_(suggested)
                             : QFileDialog::getOpenFileName(
                                   this, openFile_->text().remove(QLatin1Char('&')), suggested,
                                   QStringLiteral("Calvex ADJ backups (*.vbk);;All files (*)"));
    if (!path.isEmpty()) OpenFile(path);
}

void BackupsDialog::OpenFile(const QString& path) {
    const QFileInfo file(path);
    std::string name = file.absoluteFilePath().toStdString();
    // A file of the folder itself is the one listed already.
    const QFileInfo folder(q(core_.backups.store().folder()));
    if (folder.exists() && file.exists() && file.canonicalPath() == folder.canonicalFilePath()) {
        const std::string own = file.fileName().toStdString();
        const auto listed = std::find_if(shown_.begin(), shown_.end(),
                                         [&own](const auto& e) { return e.name == own; });
        if (listed != shown_.end()) name = own;
    }
    if (BackupKeeper::IsPath(name)) {
        outside_.erase(std::remove(outside_.begin(), outside_.end(), name), outside_.end());
        outside_.insert(outside_.begin(), name);
    }
    Refresh();
    const auto at = std::find_if(shown_.begin(), shown_.end(),
                                 [&name](const auto& e) { return e.name == name; });
    if (at == shown_.end()) return;
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(at - shown_.begin()));
    list_->setCurrentItem(item);
    list_->scrollToItem(item);
    if (mode_ != Mode::Restore) return;

    // Refused as the core refuses a file of the folder, before any question is asked.
    if (const auto why = WhyNotRestorable(name, core_.backups.Load(name))) {
        ShowProblem(*why);
        return;
    }
    AskRestore();
}

QString BackupsDialog::ComparisonText() const {
    return q(TabSeparated(table_));
}

void BackupsDialog::CopyComparison() {
    if (table_.empty()) return;
    QGuiApplication::clipboard()->setText(ComparisonText());
}

void BackupsDialog::SaveComparisonAsCsv() {
    if (table_.empty()) return;
    const QString base = QFileInfo(q(selectedName())).completeBaseName();
    const QString suggested = QDir::home().filePath(QStringLiteral("comparison-%1.csv").arg(base));
    const QString path = saveFileChooser_ ? saveFileChooser_(suggested)
                                          : QFileDialog::getSaveFileName(
                                                this, QStringLiteral("Save as CSV"), suggested,
                                                QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) return;
    // A comparison never takes the place of a backup.
    if (const auto saved =
            WriteChosenFile(path.toStdString(), CsvText(table_), ChosenKind::Other, ".csv");
        !saved) {
        ShowProblem(
            QStringLiteral("Cannot save the comparison.\n\n%1: %2").arg(path, q(saved.reason())));
    }
}

std::optional<ServiceReport> BackupsDialog::ReportOfComparison() const {
    if (!visit_) return std::nullopt;
    const auto from = [](const Compared& c) {
        return QStringLiteral("%1, %2").arg(Described(c.record), q(c.name)).toStdString();
    };
    ServiceVisit facts;
    facts.time = When(QDateTime::currentSecsSinceEpoch()).toStdString();
    facts.technician = core_.Technician();
    facts.foundFrom = from(visit_->first);
    facts.leftFrom = from(visit_->second);
    facts.backups = {visit_->first.name, visit_->second.name};
    return core_.ReportOfBackups(facts, visit_->first.record, visit_->second.record);
}

void BackupsDialog::ShowProblem(const QString& text) {
    if (problem_ != nullptr) problem_->close();
    problem_ = new QMessageBox(QMessageBox::Critical, QString::fromLatin1(kProgramTitle), text,
                               QMessageBox::Ok, this);
    ShowPlainText(*problem_);
    problem_->setAttribute(Qt::WA_DeleteOnClose);
    problem_->open();
}

}  // namespace calvex
