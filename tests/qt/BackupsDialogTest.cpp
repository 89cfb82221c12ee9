// File menu: the image saved as a file, the backups of the connected radio compared with the
// program's image, and a confirmed restore that leaves the radio holding the backup.
#include "shell/qt/BackupsDialog.h"

#include <gtest/gtest.h>

#include <QMenuBar>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "DesktopBench.h"
#include "memory/MemoryBackupStore.h"

namespace calvex {
namespace {

using testing::Desktop;
using testing::FakeUtcClock;
using testing::MemoryBackupStore;
using testing::TempDir;

using Rows = std::vector<std::vector<std::string>>;

// The desktop with its backups in memory.
class BackupsDesktop : public ::testing::Test {
  protected:
    void SetUp() override {
        d.core.backups.UseStore(store);
        d.core.backups.UseClock(utc);
        ASSERT_NO_FATAL_FAILURE(d.start());
    }
    // Connect keeps the one backup the tests compare with.
    void connect() {
        ASSERT_NO_FATAL_FAILURE(d.connect());
        ASSERT_EQ(store.backups().size(), 1u);
        kept = store.backups().front();
    }

    int16_t value(const std::string& title) const {
        return d.core.console.Value(static_cast<int16_t>(d.line(title)));
    }
    std::string text(const std::string& title) const {
        return d.window.consoleList()->item(d.line(title))->text().toStdString();
    }
    // Shift+Right on each line, then waits until the radio has them all.
    void raise(const std::vector<std::string>& titles) {
        ConsoleListWidget* list = d.window.consoleList();
        list->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }, 5000));
        for (const std::string& title : titles) {
            ASSERT_GE(d.line(title), 0) << title;
            list->setCurrentRow(d.line(title));
            QTest::keyClick(list, Qt::Key_Right, Qt::ShiftModifier);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.idleAfterConnect(); }, 10000));
    }
    BackupsDialog* open(QAction* action) {
        EXPECT_TRUE(action->isEnabled());
        action->trigger();
        BackupsDialog* dialog = d.window.backupsDialog();
        EXPECT_NE(dialog, nullptr);
        if (dialog != nullptr) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        }
        return dialog;
    }
    static void select(BackupsDialog& dialog, int row) {
        QTreeWidget* list = dialog.backupList();
        QTreeWidgetItem* item = list->topLevelItem(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    }
    static Rows listed(const BackupsDialog& dialog) {
        Rows rows;
        QTreeWidget* list = dialog.backupList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            rows.push_back(
                {item->text(0).toStdString(), item->text(1).toStdString(),
                 item->flags().testFlag(Qt::ItemIsSelectable) ? "selectable" : "greyed"});
        }
        return rows;
    }
    // The rows under the group whose heading begins with heading.
    static Rows group(const BackupsDialog& dialog, const std::string& heading) {
        Rows rows;
        QTreeWidget* tree = dialog.differences();
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            const QTreeWidgetItem* top = tree->topLevelItem(g);
            if (top->text(0).toStdString().rfind(heading, 0) != 0) continue;
            for (int i = 0; i < top->childCount(); ++i) {
                const QTreeWidgetItem* row = top->child(i);
                rows.push_back({row->text(0).toStdString(), row->text(1).toStdString(),
                                row->text(2).toStdString()});
            }
        }
        return rows;
    }
    BackupRecord keptRecord() const { return *d.core.backups.Load(kept).record; }

    MemoryBackupStore store;
    FakeUtcClock utc;
    Desktop d;
    std::string kept;
};

TEST_F(BackupsDesktop, FileMenuFollowsTheConnection) {
    struct Entry {
        const char* name;
        QAction* action;
        bool idle;
        bool connected;
    };
    const std::vector<Entry> entries = {
        {"save image", d.window.saveImageAction(), false, true},
        {"backups folder", d.window.backupsFolderAction(), true, true},
        {"compare", d.window.compareAction(), false, true},
        {"restore", d.window.restoreAction(), false, true},
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.ticks > 0; }, 5000));
    for (const Entry& e : entries)
        EXPECT_EQ(e.action->isEnabled(), e.idle) << e.name << " before Connect";
    ASSERT_NO_FATAL_FAILURE(connect());
    for (const Entry& e : entries)
        EXPECT_EQ(e.action->isEnabled(), e.connected) << e.name << " connected";
    const QList<QAction*> file = d.window.menuBar()->actions().front()->menu()->actions();
    EXPECT_EQ(file.back()->text().toStdString(), "E&xit");
}

TEST_F(BackupsDesktop, ListsThisRadiosBackupAndGreysTheOthersWithTheirReason) {
    ASSERT_NO_FATAL_FAILURE(connect());
    // Another unit of the same model, and a file of this radio whose image was altered.
    BackupRecord other = keptRecord();
    const std::size_t serialAt = other.identity.answer.find(other.identity.serial);
    ASSERT_NE(serialAt, std::string::npos);
    std::string answer = other.identity.answer;
    answer.replace(serialAt, 8, "99999999");
    other.identity = BackupIdentity::FromAnswer(answer);
    store.files[BackupFileName(other.identity, utc.now)] = FormatBackupFile(other);
    std::string corrupt = store.files[kept];
    corrupt.back() = static_cast<char>(corrupt.back() ^ 1);
    const std::string corruptName = BackupFileName(keptRecord().identity, utc.now - 60);
    store.files[corruptName] = corrupt;
    // Older files of this radio, each labelled by what made it.
    const auto made = [&](BackupOrigin origin, int64_t ago) {
        BackupRecord r = keptRecord();
        r.origin = origin;
        r.utcSeconds = utc.now - ago;
        const std::string name = BackupFileName(r.identity, r.utcSeconds);
        store.files[name] = FormatBackupFile(r);
        return name;
    };
    const Rows ours = {
        {kept, "read 2024-05-01T12:00:00Z on Connect", "selectable"},
        {made(BackupOrigin::RestoreCheck, 120),
         "read 2024-05-01T11:58:00Z, the restore's verifying read", "selectable"},
        {made(BackupOrigin::BeforeRestore, 180), "read 2024-05-01T11:57:00Z before a restore",
         "selectable"},
        {made(BackupOrigin::ByHand, 240), "saved by hand 2024-05-01T11:56:00Z", "selectable"},
    };

    BackupsDialog* dialog = open(d.window.compareAction());
    ASSERT_NE(dialog, nullptr);
    const Rows rows = listed(*dialog);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(Rows(rows.begin(), rows.begin() + 4), ours);
    const std::vector<std::pair<std::string, std::string>> greyed = {
        {BackupFileName(other.identity, utc.now), "another radio (" + other.identity.key() + ")"},
        {corruptName, "the checksum does not match the image"},
    };
    for (const auto& [file, reason] : greyed) {
        const std::string name = file;
        const auto row =
            std::find_if(rows.begin(), rows.end(), [&name](const auto& r) { return r[0] == name; });
        ASSERT_NE(row, rows.end()) << name;
        EXPECT_EQ((*row)[1], reason);
        EXPECT_EQ((*row)[2], "greyed");
    }

    for (const int row : {4, 5}) {
        select(*dialog, row);
        EXPECT_EQ(dialog->selectedName(), "") << "row " << row;
    }
    select(*dialog, 3);
    EXPECT_EQ(dialog->summaryLabel()->text().toStdString(),
              "The backup saved by hand 2024-05-01T11:56:00Z holds the same memory as the "
              "program.");
    select(*dialog, 0);
    EXPECT_EQ(dialog->selectedName(), kept);
    EXPECT_EQ(dialog->summaryLabel()->text().toStdString(),
              "The backup read 2024-05-01T12:00:00Z holds the same memory as the program.");
    dialog->close();
}

TEST_F(BackupsDesktop, ComparisonListsTheTwoItemsChangedWithBothValues) {
    ASSERT_NO_FATAL_FAILURE(connect());
    const int16_t power = value(" Power(Hi)");
    const int16_t sql = value("       SQL");
    ASSERT_NO_FATAL_FAILURE(raise({" Power(Hi)", "       SQL"}));

    BackupsDialog* dialog = open(d.window.compareAction());
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->restoreButton()->isVisible());
    select(*dialog, 0);
    EXPECT_EQ(group(*dialog, "Adjustment items"),
              (Rows{{"Power(Hi)", std::to_string(power), std::to_string(power + 5)},
                    {"SQL", std::to_string(sql), std::to_string(sql + 5)}}));
    EXPECT_EQ(group(*dialog, "Other parts"), Rows{});
    dialog->close();
}

TEST_F(BackupsDesktop, RestoreAsksFirstAndOnYesTheRadioHoldsTheBackup) {
    ASSERT_NO_FATAL_FAILURE(connect());
    const int16_t power = value(" Power(Hi)");
    const int16_t sql = value("       SQL");
    const std::vector<std::string> shown = {text(" Power(Hi)"), text("       SQL")};
    ASSERT_NO_FATAL_FAILURE(raise({" Power(Hi)", "       SQL"}));
    ASSERT_NE((std::vector<std::string>{text(" Power(Hi)"), text("       SQL")}), shown);
    const std::string changed = d.radio.image();
    ASSERT_NE(changed, keptRecord().image);

    BackupsDialog* dialog = open(d.window.restoreAction());
    ASSERT_NE(dialog, nullptr);
    select(*dialog, 0);
    ASSERT_TRUE(dialog->restoreButton()->isEnabled());

    QTest::mouseClick(dialog->restoreButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->confirmBox() != nullptr; }, 5000));
    EXPECT_EQ(dialog->confirmBox()->text().toStdString(),
              "Write 2 changed items and 0 other bytes to the radio?");
    QTest::mouseClick(dialog->confirmBox()->button(QMessageBox::No), Qt::LeftButton);
    EXPECT_FALSE(d.core.RestoreRunning());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(d.radio.image(), changed);

    QTest::mouseClick(dialog->restoreButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->confirmBox() != nullptr; }, 5000));
    QTest::mouseClick(dialog->confirmBox()->button(QMessageBox::Yes), Qt::LeftButton);
    EXPECT_TRUE(d.core.RestoreRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.backupsDialog() == nullptr; }, 5000));
    d.window.task();
    EXPECT_FALSE(d.window.compareAction()->isEnabled());
    EXPECT_FALSE(d.window.restoreAction()->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.restoredBox() != nullptr; }, 60000));
    EXPECT_EQ(d.radio.image(), keptRecord().image);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.idleAfterConnect(); }, 30000));
    EXPECT_EQ(value(" Power(Hi)"), power);
    EXPECT_EQ(value("       SQL"), sql);
    EXPECT_EQ((std::vector<std::string>{text(" Power(Hi)"), text("       SQL")}), shown);
    d.window.restoredBox()->close();
}

TEST_F(BackupsDesktop, SaveImageAsWritesTheProgramsImageAsAUsableBackup) {
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_NO_FATAL_FAILURE(raise({"       SQL"}));
    const std::string path = d.folder.dir.file("bench 3.vbk");
    QString suggested;
    d.window.saveFileChooser([&](const QString& s) {
        suggested = s;
        return QString::fromStdString(path);
    });
    d.window.saveImageAction()->trigger();

    const BackupLoad load = ParseBackupFile(TempDir::read(path), "2601");
    ASSERT_TRUE(load.usable()) << load.reason;
    EXPECT_EQ(load.record->image, d.radio.image());
    EXPECT_NE(load.record->image, keptRecord().image);
    EXPECT_EQ(load.record->identity.key(), d.core.ConnectedIdentity().key());
    EXPECT_EQ(load.record->origin, BackupOrigin::ByHand) << "no read confirmed it";
    EXPECT_TRUE(suggested.endsWith(".vbk"));
}

TEST_F(BackupsDesktop, SaveImageAsThatCannotWriteSaysWhereAndWhy) {
    ASSERT_NO_FATAL_FAILURE(connect());
    const std::string path = d.folder.dir.file("missing/bench 3.vbk");
    d.window.saveFileChooser([&](const QString&) { return QString::fromStdString(path); });
    d.window.saveImageAction()->trigger();

    ASSERT_TRUE(QTest::qWaitFor([&] { return d.box.openBox() != nullptr; }, 5000));
    EXPECT_EQ(d.box.openBox()->text().toStdString(), "Cannot save the image.");
    const std::string detail = d.box.openBox()->informativeText().toStdString();
    EXPECT_EQ(detail.rfind(path + ": ", 0), 0u) << detail;
    EXPECT_GT(detail.size(), path.size() + 2) << "no reason given";
}

}  // namespace
}  // namespace calvex
