#include "shell/qt/BackupsDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

#include "shell/CalvexCore.h"

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

// When and how the image was taken: "read <time>" or "saved by hand <time>".
QString Taken(const BackupRecord& r) {
    const QString when = q(UtcIsoTime(r.utcSeconds));
    return r.origin == BackupOrigin::ByHand ? QStringLiteral("saved by hand %1").arg(when)
                                            : QStringLiteral("read %1").arg(when);
}

// The list's line: what made the file, so that a technician tells a read of the radio from the
// program's image, and the restore's own reads from those of Connect.
QString Made(const BackupRecord& r) {
    switch (r.origin) {
        case BackupOrigin::Connect:
            return Taken(r) + QStringLiteral(" on Connect");
        case BackupOrigin::BeforeRestore:
            return Taken(r) + QStringLiteral(" before a restore");
        case BackupOrigin::RestoreCheck:
            return Taken(r) + QStringLiteral(", the restore's verifying read");
        case BackupOrigin::ByHand:
            break;
    }
    return Taken(r);
}

}  // namespace

BackupsDialog::BackupsDialog(CalvexCore& core, Mode mode, QWidget* parent)
    : QDialog(parent), core_(core), mode_(mode) {
    setWindowTitle(mode == Mode::Restore ? QStringLiteral("Restore backup to radio")
                                         : QStringLiteral("Compare with backup"));

    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("Backup"), QStringLiteral("Status")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->setMinimumWidth(640);

    summary_ = new QLabel(this);
    summary_->setWordWrap(true);
    differences_ = new QTreeWidget(this);
    differences_->setColumnCount(3);
    differences_->setHeaderLabels(
        {QStringLiteral("Item"), QStringLiteral("Backup"), QStringLiteral("Now")});
    differences_->setSelectionMode(QAbstractItemView::NoSelection);
    differences_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    differences_->header()->setMinimumSectionSize(140);
    differences_->setMinimumHeight(240);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    restore_ = buttons->addButton(QStringLiteral("&Restore\u2026"), QDialogButtonBox::ActionRole);
    restore_->setVisible(mode == Mode::Restore);
    restore_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Backups of the connected transceiver, newest "
                                                "first; other files of %1 are greyed:")
                                     .arg(q(core_.backups.store().folder())),
                                 this));
    layout->addWidget(list_, 1);
    layout->addWidget(summary_);
    layout->addWidget(differences_, 2);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(restore_, &QPushButton::clicked, this, [this] { AskRestore(); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { ShowSelected(); });

    Refresh();
}

void BackupsDialog::Refresh() {
    const std::string key = core_.ConnectedIdentity().key();
    std::vector<BackupKeeper::Entry> all = core_.backups.List();
    // This radio's usable backups first (List gives each radio's newest first), then the rest.
    const auto ours = [&key](const BackupKeeper::Entry& e) {
        return e.load.usable() && e.name.rfind(key, 0) == 0;
    };
    std::stable_partition(all.begin(), all.end(), ours);
    shown_ = std::move(all);

    list_->clear();
    for (const BackupKeeper::Entry& e : shown_) {
        auto* item = new QTreeWidgetItem(list_, {q(e.name), QString()});
        if (ours(e)) {
            item->setText(kStatusColumn, Made(*e.load.record));
        } else {
            // Greyed and not selectable: nothing of it can be compared or written.
            item->setFlags(Qt::NoItemFlags);
            item->setText(
                kStatusColumn,
                e.load.usable()
                    ? QStringLiteral("another radio (%1)").arg(q(e.load.record->identity.key()))
                    : q(e.load.reason));
        }
    }
    if (shown_.empty()) {
        summary_->setText(QStringLiteral("No backup has been kept yet."));
    }
    ShowSelected();
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
    comparedSerial_.clear();
    const std::string name = selectedName();
    restore_->setEnabled(false);
    if (name.empty()) {
        if (!shown_.empty()) summary_->setText(QStringLiteral("Select a backup to compare."));
        return;
    }
    // Loaded again: the file may have changed since the list was read.
    const BackupLoad load = core_.backups.Load(name);
    if (!load.usable()) {
        summary_->setText(QStringLiteral("%1 cannot be used: %2").arg(q(name), q(load.reason)));
        return;
    }
    comparison_ = core_.CompareWithBackup(*load.record);
    comparedSerial_ = load.record->identity.serial;
    const ImageComparison& c = *comparison_;
    const std::size_t bytes = DifferingBytes(c);
    const QString when = Taken(*load.record);
    summary_->setText(
        c.identical()
            ? QStringLiteral("The backup %1 holds the same memory as the program.").arg(when)
            : QStringLiteral("Backup %1: %2 adjustment items and %3 other bytes differ.")
                  .arg(when)
                  .arg(c.items.size())
                  .arg(bytes));

    if (!c.items.empty()) {
        auto* group = new QTreeWidgetItem(
            differences_, {QStringLiteral("Adjustment items (%1)").arg(c.items.size())});
        for (const ItemDifference& d : c.items) {
            new QTreeWidgetItem(group, {q(d.title).trimmed(), q(d.backupValue).trimmed(),
                                        q(d.currentValue).trimmed()});
        }
    }
    if (!c.others.empty()) {
        auto* group = new QTreeWidgetItem(
            differences_, {QStringLiteral("Other parts of the memory (%1 bytes)").arg(bytes)});
        for (const MapDifference& d : c.others) {
            auto* row = new QTreeWidgetItem(group, {q(d.name), q(d.backupText), q(d.currentText)});
            const QString where = QStringLiteral("addresses %1").arg(q(AddressList(d.addresses)));
            for (int col = 0; col < 3; ++col)
                row->setToolTip(col, where);
        }
    }
    differences_->expandAll();
    QFont bold = differences_->font();
    bold.setBold(true);
    for (int i = 0; i < differences_->topLevelItemCount(); ++i) {
        differences_->topLevelItem(i)->setFont(0, bold);
        differences_->topLevelItem(i)->setFirstColumnSpanned(true);
    }
    restore_->setEnabled(mode_ == Mode::Restore);
}

QString BackupsDialog::RestoreQuestion() const {
    if (!comparison_) return {};
    QString text = QStringLiteral("Write %1 changed items and %2 other bytes to the radio?")
                       .arg(comparison_->items.size())
                       .arg(DifferingBytes(*comparison_));
    if (comparedSerial_ != core_.ConnectedIdentity().serial) {
        text +=
            QStringLiteral("\n\nThe backup is of another unit, serial %1.").arg(q(comparedSerial_));
    }
    return text;
}

void BackupsDialog::AskRestore() {
    const std::string name = selectedName();
    if (name.empty() || !comparison_ || confirm_ != nullptr) return;
    // Opened, not run: the ticks go on while the technician reads it.
    confirm_ = new QMessageBox(QMessageBox::Question, windowTitle(), RestoreQuestion(),
                               QMessageBox::Yes | QMessageBox::No, this);
    confirm_->setDefaultButton(QMessageBox::No);
    confirm_->setAttribute(Qt::WA_DeleteOnClose);
    QAbstractButton* yes = confirm_->button(QMessageBox::Yes);
    connect(confirm_, &QMessageBox::buttonClicked, this, [this, yes, name](QAbstractButton* b) {
        if (b != yes) return;
        emit restoreConfirmed(q(name));
        close();
    });
    confirm_->open();
}

}  // namespace calvex
