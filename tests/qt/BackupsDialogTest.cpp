// File menu: the image saved as a file, the backups listed by what made them, compared with the
// program's image or with each other (with no radio connected too), the comparison copied and
// saved, and a confirmed restore, from the folder or from a file elsewhere, that leaves the radio
// holding the backup.
#include "shell/qt/BackupsDialog.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QMenuBar>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DesktopBench.h"
#include "memory/IdentityAnswer.h"
#include "memory/MemoryBackupStore.h"
#include "memory/VelkaMemory.h"
#include "shell/qt/ReportWindow.h"

namespace calvex {
namespace {

using testing::Desktop;
using testing::FakeUtcClock;
using testing::IdentityAnswer;
using testing::MemoryBackupStore;
using testing::TempDir;

using Rows = std::vector<std::vector<std::string>>;

constexpr int64_t kDay = 86400;

// The technician's clock for these tests: Central European time, an hour ahead of UTC in
// winter and two in summer.
class LocalZone {
  public:
    explicit LocalZone(const char* zone) {
        if (const char* tz = std::getenv("TZ")) old_ = tz;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

  private:
    std::optional<std::string> old_;
};

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
    // Closes the window's dialog and waits until it is gone.
    void close(BackupsDialog* dialog) {
        dialog->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.backupsDialog() == nullptr; }, 5000));
    }
    static void select(BackupsDialog& dialog, int row) {
        QTreeWidget* list = dialog.backupList();
        QTreeWidgetItem* item = list->topLevelItem(row);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    }
    static int rowOf(const BackupsDialog& dialog, const std::string& name) {
        QTreeWidget* list = dialog.backupList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->text(BackupsDialog::kFileColumn).toStdString() == name)
                return i;
        }
        return -1;
    }
    // Chooses the backup name to compare with, as the technician picks it from the list.
    static void compareWith(BackupsDialog& dialog, const std::string& name) {
        QComboBox* box = dialog.compareWith();
        const int index = box->findData(QString::fromStdString(name));
        ASSERT_GE(index, 0) << name;
        box->setCurrentIndex(index);
    }
    // Each line: time, what made it, radio, file, and whether it looks and acts as any line.
    static Rows listed(const BackupsDialog& dialog) {
        Rows rows;
        QTreeWidget* list = dialog.backupList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            bool plain = item->flags().testFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            for (int col = 0; col < list->columnCount(); ++col)
                plain = plain && !item->data(col, Qt::ForegroundRole).isValid();
            rows.push_back({item->text(BackupsDialog::kTimeColumn).toStdString(),
                            item->text(BackupsDialog::kMadeColumn).toStdString(),
                            item->text(BackupsDialog::kRadioColumn).toStdString(),
                            item->text(BackupsDialog::kFileColumn).toStdString(),
                            plain ? "plain" : "pale"});
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
    // The comparison as shown, the header first: each row with its group's heading (its count
    // left off) before the item's four columns.
    static Rows shownTable(const BackupsDialog& dialog) {
        QTreeWidget* tree = dialog.differences();
        Rows rows{{"Group"}};
        for (int col = 0; col < tree->columnCount(); ++col)
            rows.front().push_back(tree->headerItem()->text(col).toStdString());
        for (int g = 0; g < tree->topLevelItemCount(); ++g) {
            const QTreeWidgetItem* top = tree->topLevelItem(g);
            const std::string heading = top->text(0).toStdString();
            for (int i = 0; i < top->childCount(); ++i) {
                std::vector<std::string> row{heading.substr(0, heading.rfind(" ("))};
                for (int col = 0; col < tree->columnCount(); ++col)
                    row.push_back(top->child(i)->text(col).toStdString());
                rows.push_back(row);
            }
        }
        return rows;
    }
    BackupRecord keptRecord() const { return *d.core.backups.Load(kept).record; }
    // Writes record into the folder as the keeper names it; the name.
    std::string put(const BackupRecord& record) {
        std::string name = BackupFileName(record.identity, record.utcSeconds);
        store.files[name] = FormatBackupFile(record);
        return name;
    }
    // A record of the simulated radio's memory (or another unit's), read at Connect.
    BackupRecord record(int64_t utcSeconds, const std::string& image,
                        const std::string& answer = IdentityAnswer("20417735")) const {
        return {BackupIdentity::FromAnswer(answer), utcSeconds, "Calvex ADJ Rev.1.0", image};
    }

    LocalZone zone{"CET-1CEST,M3.5.0,M10.5.0/3"};
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
        {"compare", d.window.compareAction(), true, true},
        {"restore", d.window.restoreAction(), false, true},
        {"restore from file", d.window.restoreFileAction(), false, true},
        {"service report", d.window.reportAction(), true, true},
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

// Each file by what its header says made it, at the technician's time with UTC beside it; a
// file that cannot be used reads as any other line, with its reason.
TEST_F(BackupsDesktop, ListsEveryFileByWhatMadeItInLocalTimeWithUtc) {
    ASSERT_NO_FATAL_FAILURE(connect());
    const auto made = [&](BackupOrigin origin, int64_t ago) {
        BackupRecord r = keptRecord();
        r.origin = origin;
        r.utcSeconds = utc.now - ago;
        return put(r);
    };
    const std::string check = made(BackupOrigin::RestoreCheck, 120);
    const std::string before = made(BackupOrigin::BeforeRestore, 12 * 3600 + 1800);
    const std::string byHand = made(BackupOrigin::ByHand, 150 * kDay);
    BackupRecord otherUnit = keptRecord();
    otherUnit.identity = BackupIdentity::FromAnswer(IdentityAnswer("99999999"));
    const std::string other = put(otherUnit);
    std::string corrupt = store.files[kept];
    corrupt.back() = static_cast<char>(corrupt.back() ^ 1);
    const std::string corruptName = BackupFileName(keptRecord().identity, utc.now - 60);
    store.files[corruptName] = corrupt;

    BackupsDialog* dialog = open(d.window.compareAction());
    ASSERT_NE(dialog, nullptr);
    const std::string checksum = "the checksum does not match the image";
    EXPECT_EQ(
        listed(*dialog),
        (Rows{{"2024-05-01 14:00:00 (12:00:00 UTC)", "Read at Connect", "20417735 (connected)",
               kept, "plain"},
              {"2024-05-01 13:58:00 (11:58:00 UTC)", "Read back after a restore",
               "20417735 (connected)", check, "plain"},
              {"2024-05-01 01:30:00 (2024-04-30 23:30:00 UTC)", "Read before a restore",
               "20417735 (connected)", before, "plain"},
              {"2023-12-03 13:00:00 (12:00:00 UTC)", "Saved by hand (program's image)",
               "20417735 (connected)", byHand, "plain"},
              {"2024-05-01 14:00:00 (12:00:00 UTC)", "Read at Connect", "99999999", other, "plain"},
              {"", "Unusable: " + checksum, "", corruptName, "plain"}}));

    QTreeWidgetItem* unusable = dialog->backupList()->topLevelItem(5);
    for (int col = 0; col < dialog->backupList()->columnCount(); ++col)
        EXPECT_EQ(unusable->toolTip(col).toStdString(), checksum) << "column " << col;
    select(*dialog, 5);
    EXPECT_EQ(dialog->selectedName(), corruptName);
    EXPECT_EQ(dialog->detailLabel()->text().toStdString(),
              corruptName + " cannot be used: " + checksum);
    EXPECT_EQ(dialog->differences()->topLevelItemCount(), 0);
    EXPECT_FALSE(dialog->copyButton()->isEnabled());

    select(*dialog, 3);
    EXPECT_EQ(dialog->summaryLabel()->text().toStdString(),
              "The backup (Saved by hand (program's image), 2023-12-03 13:00:00 (12:00:00 UTC)) "
              "holds the same memory as the program.");
    select(*dialog, 4);
    EXPECT_NE(dialog->detailLabel()->text().toStdString().find(
                  "Transceiver model code 2601, sub code 0100, serial 99999999."),
              std::string::npos)
        << dialog->detailLabel()->text().toStdString();
    dialog->close();
}

// Two radios whose serials differ only in punctuation: only the one connected is marked, though
// both show the same serial.
TEST_F(BackupsDesktop, TheConnectedMarkIsTheConnectedRadiosAlone) {
    d.radio.serial("2041-773");
    ASSERT_NO_FATAL_FAILURE(connect());
    const std::string other =
        put(record(utc.now - kDay, keptRecord().image, IdentityAnswer("2041/773")));
    BackupsDialog* dialog = open(d.window.compareAction());
    ASSERT_NE(dialog, nullptr);
    const Rows rows = listed(*dialog);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][2], "2041_773 (connected)");
    EXPECT_EQ(rows[0][3], kept);
    EXPECT_EQ(rows[1][2], "2041_773");
    EXPECT_EQ(rows[1][3], other);
    dialog->close();
}

// A folder that cannot be listed is told, never shown as a part of its files.
TEST_F(BackupsDesktop, AFolderThatCannotBeListedIsToldNotShownInPart) {
    ASSERT_NO_FATAL_FAILURE(connect());
    store.failList = "Permission denied";
    BackupsDialog* dialog = open(d.window.compareAction());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->backupList()->topLevelItemCount(), 0);
    const std::string told =
        "Cannot list the backups folder.\n\n/data/calvexadj/backups: Permission denied";
    EXPECT_EQ(dialog->summaryLabel()->text().toStdString(), told);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->problemBox() != nullptr; }, 5000));
    EXPECT_EQ(dialog->problemBox()->text().toStdString(), told);
    dialog->problemBox()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->problemBox() == nullptr; }, 5000));

    store.failList.clear();
    dialog->Refresh();
    EXPECT_EQ(rowOf(*dialog, kept), 0);
    EXPECT_EQ(dialog->problemBox(), nullptr);
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

// An open dialog follows the connection: Connect offers the program's image to compare with,
// and a line lost while the restore question is open withdraws it.
TEST_F(BackupsDesktop, FollowsTheConnectionWhileOpen) {
    BackupsDialog* compare = open(d.window.compareAction());
    ASSERT_NE(compare, nullptr);
    const auto offersProgram = [compare] {
        return compare->compareWith()->count() > 0 &&
               compare->compareWith()->itemText(0) == QStringLiteral("The program's image");
    };
    EXPECT_FALSE(offersProgram());
    ASSERT_NO_FATAL_FAILURE(connect());
    ASSERT_TRUE(QTest::qWaitFor(offersProgram, 5000));
    EXPECT_EQ(rowOf(*compare, kept), 0);
    ASSERT_NO_FATAL_FAILURE(close(compare));

    d.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d.window));
    ASSERT_NO_FATAL_FAILURE(raise({" Power(Hi)"}));
    BackupsDialog* restore = open(d.window.restoreAction());
    ASSERT_NE(restore, nullptr);
    select(*restore, rowOf(*restore, kept));
    QTest::mouseClick(restore->restoreButton(), Qt::LeftButton);
    ASSERT_NE(restore->confirmBox(), nullptr);
    d.port.loseDevice("Input/output error");
    ASSERT_TRUE(QTest::qWaitFor([&] { return restore->confirmBox() == nullptr; }, 10000));
    EXPECT_FALSE(restore->restoreButton()->isEnabled());
    EXPECT_EQ(restore->summaryLabel()->text().toStdString(),
              "Connect the transceiver to restore a backup.");
    EXPECT_FALSE(d.core.RestoreRunning());
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

// Another unit's backup of the same model may be written, and the question says whose it is.
TEST_F(BackupsDesktop, TheQuestionNamesAnotherUnitsSerial) {
    ASSERT_NO_FATAL_FAILURE(connect());
    BackupRecord otherUnit = keptRecord();
    otherUnit.identity = BackupIdentity::FromAnswer(IdentityAnswer("99999999"));
    const std::string other = put(otherUnit);
    BackupsDialog* dialog = open(d.window.restoreAction());
    ASSERT_NE(dialog, nullptr);
    select(*dialog, rowOf(*dialog, other));
    ASSERT_TRUE(dialog->restoreButton()->isEnabled());
    QTest::mouseClick(dialog->restoreButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->confirmBox() != nullptr; }, 5000));
    EXPECT_EQ(dialog->confirmBox()->text().toStdString(),
              "Write 0 changed items and 0 other bytes to the radio?\n\nThe backup is of another "
              "unit, serial 99999999: the transceiver connected, serial 20417735, would hold that "
              "unit's adjustments.");
    QTest::mouseClick(dialog->confirmBox()->button(QMessageBox::No), Qt::LeftButton);
    EXPECT_FALSE(d.core.RestoreRunning());
    dialog->close();
}

// Two backups of one radio a day apart: the newer one with Power(Hi) 3 higher, another receive
// frequency on channel 1 and a byte after the channel records.
class TwoBackups : public BackupsDesktop {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(BackupsDesktop::SetUp());
        const std::string older = d.radio.image();
        std::string newer = older;
        const auto flip = [&newer](int32_t adr, int bits) {
            newer[static_cast<std::size_t>(adr)] =
                static_cast<char>(newer[static_cast<std::size_t>(adr)] ^ bits);
        };
        newer[VelkaMemory::kPowerHi] = static_cast<char>(older[VelkaMemory::kPowerHi] + 3);
        flip(VelkaMemory::kChannelBase + 1, 0x10);
        flip(VelkaMemory::kChannelRecordsEnd, 0xFF);
        first = put(record(utc.now - kDay, older));
        second = put(record(utc.now, newer));
    }
    // Opened on its own, as the File menu opens it.
    void open(BackupsDialog::Mode mode) {
        dialog = std::make_unique<BackupsDialog>(d.core, mode, &d.window);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    // A moment as the dialog shows it.
    static std::string when(int64_t t) {
        return LocalAndUtcTime(t, QDateTime::fromSecsSinceEpoch(t).offsetFromUtc());
    }
    // The newer backup against the older one.
    void compareBoth() {
        ASSERT_NO_FATAL_FAILURE(open(BackupsDialog::Mode::Compare));
        select(*dialog, rowOf(*dialog, second));
        ASSERT_NO_FATAL_FAILURE(compareWith(*dialog, first));
    }

    std::string first;
    std::string second;
    std::unique_ptr<BackupsDialog> dialog;
};

// The whole table, every row under its header line, whichever way it is copied.
TEST_F(TwoBackups, CopyGivesTheWholeComparisonWithItsHeader) {
    ASSERT_NO_FATAL_FAILURE(compareBoth());
    const std::string body =
        "Adjustment items\tPower(Hi)\t213\t210\t\n"
        "Other parts of the memory\tMemory channel 1\tRX 145.471424 MHz, TX 146.520000 MHz, High, "
        "Wide\tRX 146.520000 MHz, TX 146.520000 MHz, High, Wide\t607\n"
        "Other parts of the memory\tBytes after the channel records\t00\tFF\t1662\n";
    // Copied, the headings say which backups: the file, what made it and when.
    const std::string expected = "Group\tItem\tBackup: " + second + ", Read at Connect, " +
                                 when(utc.now) + "\tOther backup: " + first +
                                 ", Read at Connect, " + when(utc.now - kDay) + "\tAddresses\n" +
                                 body;
    std::string shown;
    for (const auto& row : shownTable(*dialog)) {
        for (std::size_t i = 0; i < row.size(); ++i)
            shown += (i == 0 ? "" : "\t") + row[i];
        shown += "\n";
    }
    EXPECT_EQ(shown, "Group\tItem\tBackup\tOther backup\tAddresses\n" + body)
        << "the table as shown";

    struct Way {
        const char* name;
        std::function<void()> copy;
    };
    QTreeWidget* table = dialog->differences();
    const std::vector<Way> ways = {
        {"Ctrl+C in the comparison",
         [&] {
             table->setFocus();
             ASSERT_TRUE(QTest::qWaitFor([&] { return table->hasFocus(); }, 5000));
             QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
         }},
        {"the Copy button", [&] { QTest::mouseClick(dialog->copyButton(), Qt::LeftButton); }},
    };
    for (const Way& way : ways) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        way.copy();
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), expected) << way.name;
    }
}

// RFC 4180 to a file the technician names; a backup's name or a folder that is not there gets
// a message and no file.
TEST_F(TwoBackups, SaveAsCsvWritesTheWholeComparisonQuoted) {
    ASSERT_NO_FATAL_FAILURE(compareBoth());
    const std::string csv =
        "Group,Item,\"Backup: " + second + ", Read at Connect, " + when(utc.now) +
        "\",\"Other backup: " + first + ", Read at Connect, " + when(utc.now - kDay) +
        "\",Addresses\r\n"
        "Adjustment items,Power(Hi),213,210,\r\n"
        "Other parts of the memory,Memory channel 1,\"RX 145.471424 MHz, TX 146.520000 MHz, "
        "High, Wide\",\"RX 146.520000 MHz, TX 146.520000 MHz, High, Wide\",607\r\n"
        "Other parts of the memory,Bytes after the channel records,00,FF,1662\r\n";
    struct Case {
        std::string path;
        std::string message;  // empty: saved
    };
    const std::string folder = d.folder.dir.path();
    const std::vector<Case> cases = {
        {folder + "/bench 3.csv", ""},
        {folder + "/" + first,
         "Cannot save the comparison.\n\n" + folder + "/" + first +
             ": a backup file is never written over; choose a name ending in .csv."},
        {folder + "/missing/bench 3.csv",
         "Cannot save the comparison.\n\n" + folder + "/missing/bench 3.csv: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        QString suggested;
        dialog->saveFileChooser([&](const QString& s) {
            suggested = s;
            return QString::fromStdString(c.path);
        });
        QTest::mouseClick(dialog->saveCsvButton(), Qt::LeftButton);
        EXPECT_TRUE(suggested.endsWith(QStringLiteral(".csv"))) << suggested.toStdString();
        if (c.message.empty()) {
            EXPECT_EQ(TempDir::read(c.path), csv);
            EXPECT_EQ(dialog->problemBox(), nullptr);
            continue;
        }
        ASSERT_NE(dialog->problemBox(), nullptr);
        const std::string shown = dialog->problemBox()->text().toStdString();
        EXPECT_EQ(shown.substr(0, c.message.size()), c.message);
        EXPECT_GT(shown.size(), c.path.size() + 32) << "no reason given";
        EXPECT_FALSE(std::filesystem::exists(c.path) && c.path.ends_with(".csv"));
        dialog->problemBox()->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->problemBox() == nullptr; }, 5000));
    }
    EXPECT_EQ(TempDir::read(folder + "/" + first), "") << "nothing written beside the bench";
}

// With no radio connected: two backups compare item by item, the program's image is not
// offered, backups of another sub code are refused with the reason, nothing can be restored.
TEST_F(TwoBackups, CompareWithNoRadioConnected) {
    BackupRecord otherSub = record(utc.now - 2 * kDay, d.radio.image(),
                                   IdentityAnswer("20417735", std::string("\x02\x00", 2)));
    const std::string refused = put(otherSub);
    std::string otherModel = FormatBackupFile(record(utc.now - 3 * kDay, d.radio.image()));
    otherModel.replace(otherModel.find("model: 2601"), 11, "model: 2701");
    otherModel.replace(otherModel.find("identification: EFEEE12601"), 26,
                       "identification: EFEEE12701");
    store.files["27010100-20417735-20240428T120000Z.vbk"] = otherModel;

    ASSERT_NO_FATAL_FAILURE(open(BackupsDialog::Mode::Compare));
    EXPECT_FALSE(d.core.rig.RigVelkaProp_EditEnabled());
    QComboBox* with = dialog->compareWith();
    ASSERT_EQ(with->count(), 3) << "the three usable backups, no program's image";
    EXPECT_EQ(with->currentIndex(), -1);
    for (int i = 0; i < with->count(); ++i)
        EXPECT_FALSE(with->itemData(i).toString().isEmpty()) << i;
    EXPECT_EQ(listed(*dialog).back()[1], "Unusable: a backup of another transceiver model (2701)");

    // The oldest has nothing before it; the newer is compared with the one before it at once.
    select(*dialog, rowOf(*dialog, first));
    EXPECT_EQ(dialog->summaryLabel()->text().toStdString(), "Choose what to compare it with.");
    select(*dialog, rowOf(*dialog, second));
    EXPECT_EQ(with->currentData().toString().toStdString(), first);
    const std::string summary = dialog->summaryLabel()->text().toStdString();
    EXPECT_EQ(
        summary.rfind("1 adjustment item and 2 other bytes differ between the backup (Read at "
                      "Connect, ",
                      0),
        0u)
        << summary;
    EXPECT_EQ(group(*dialog, "Adjustment items"), (Rows{{"Power(Hi)", "213", "210"}}));
    EXPECT_EQ(group(*dialog, "Other parts"),
              (Rows{{"Memory channel 1", "RX 145.471424 MHz, TX 146.520000 MHz, High, Wide",
                     "RX 146.520000 MHz, TX 146.520000 MHz, High, Wide"},
                    {"Bytes after the channel records", "00", "FF"}}));
    EXPECT_FALSE(dialog->restoreButton()->isVisible());

    ASSERT_NO_FATAL_FAILURE(compareWith(*dialog, refused));
    EXPECT_EQ(dialog->summaryLabel()->text().toStdString(),
              "The two backups are of different transceiver models (model code 2601 and sub code "
              "0100; model code 2601 and sub code 0200): their memories are not laid out alike.");
    EXPECT_EQ(dialog->differences()->topLevelItemCount(), 0);
    EXPECT_FALSE(dialog->copyButton()->isEnabled());
    EXPECT_FALSE(dialog->saveCsvButton()->isEnabled());

    ASSERT_NO_FATAL_FAILURE(open(BackupsDialog::Mode::Restore));
    select(*dialog, rowOf(*dialog, second));
    EXPECT_TRUE(dialog->restoreButton()->isVisible());
    EXPECT_FALSE(dialog->restoreButton()->isEnabled());
    EXPECT_EQ(dialog->summaryLabel()->text().toStdString(),
              "Connect the transceiver to restore a backup.");
}

// With no radio connected, File > Service report leads to the backups: two of one radio make
// the report of that visit, the older as found; two radios' backups make none.
TEST_F(TwoBackups, ReportOfAnEarlierVisitFromTwoBackups) {
    const std::string otherUnit =
        put(record(utc.now - 2 * kDay, d.radio.image(), IdentityAnswer("31337")));
    d.core.Technician("A. Tech");
    d.window.reportAction()->trigger();
    BackupsDialog* shown = d.window.backupsDialog();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->mode(), BackupsDialog::Mode::Compare);
    EXPECT_TRUE(shown->reportButton()->isVisible());

    select(*shown, rowOf(*shown, second));
    ASSERT_NO_FATAL_FAILURE(compareWith(*shown, otherUnit));
    EXPECT_FALSE(shown->reportButton()->isEnabled()) << "two radios are no visit";
    ASSERT_NO_FATAL_FAILURE(compareWith(*shown, first));
    ASSERT_TRUE(shown->reportButton()->isEnabled());
    QTest::mouseClick(shown->reportButton(), Qt::LeftButton);
    ReportWindow* report = d.window.reportWindow();
    ASSERT_NE(report, nullptr);
    const std::string text = report->preview()->toPlainText().toStdString();
    for (const std::string& part : {
             std::string("Service report: Velka 2601/0100, serial 20417735"),
             "Found: Read at Connect, " + when(utc.now - kDay) + ", " + first,
             "Left: Read at Connect, " + when(utc.now) + ", " + second,
             std::string(", by A. Tech"),
             std::string("Adjustment items (1 changed)"),
             std::string("Backups the report is made from"),
             std::string("not kept in backups"),
         }) {
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    }
    const std::string csv = ServiceReportCsv(report->report());
    EXPECT_NE(csv.find("Power(Hi),210,213,yes\r\n"), std::string::npos) << csv;
}

// What Qt shows of a label's or a tooltip's text: HTML rendered when it takes the text for HTML.
QString Shown(const QString& text, Qt::TextFormat format = Qt::AutoText) {
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText().replace(QChar::LineSeparator, QLatin1Char('\n'));
}

enum class MarkedField { FileName, Program, HeaderName, PathElsewhere };

struct MarkupCase {
    const char* name;
    MarkedField field;
    const char* markup;
};

class MarkupInABackup : public TwoBackups, public ::testing::WithParamInterface<MarkupCase> {};

// Markup in any field of a backup file reaches the technician as the characters it is made of:
// it neither changes what the dialog, its tooltips and the report show, nor makes a link or an
// image of them.
TEST_P(MarkupInABackup, IsShownAsWritten) {
    const MarkupCase& c = GetParam();
    const QString markup = QString::fromUtf8(c.markup);
    BackupRecord r = *d.core.backups.Load(second).record;
    std::string name = second;
    std::string contents = FormatBackupFile(r);
    switch (c.field) {
        case MarkedField::FileName:
            name = std::string(c.markup) + ".vbk";
            break;
        case MarkedField::Program:
            r.program = c.markup;
            contents = FormatBackupFile(r);
            break;
        case MarkedField::HeaderName: {
            // A field named twice: unusable, and the reason quotes the name.
            const std::string line = std::string(c.markup) + ": 1\n";
            contents.insert(contents.find("model: "), line + line);
            break;
        }
        case MarkedField::PathElsewhere:
            break;
    }
    store.files.erase(second);
    ASSERT_NO_FATAL_FAILURE(open(BackupsDialog::Mode::Compare));
    if (c.field == MarkedField::PathElsewhere) {
        const std::string folder = d.folder.dir.file(c.markup);
        std::filesystem::create_directories(folder);
        name = folder + "/velka.vbk";
        TempDir::write(name, contents);
        dialog->OpenFile(QString::fromStdString(name));
    } else {
        store.files[name] = contents;
        dialog->Refresh();
    }
    const int row = rowOf(*dialog, name);
    ASSERT_GE(row, 0) << name;
    select(*dialog, row);

    // Every tooltip of the line shows its text as it is: the file, the radio, or why the file
    // cannot be used.
    std::vector<QString> tips(4);
    if (c.field == MarkedField::HeaderName) {
        tips.assign(4, QStringLiteral("the header names \"%1\" twice").arg(markup));
    } else {
        tips[BackupsDialog::kFileColumn] = QString::fromStdString(name);
        if (c.field == MarkedField::PathElsewhere)
            tips[BackupsDialog::kFileColumn] += QStringLiteral("\nOutside the backups folder");
        tips[BackupsDialog::kRadioColumn] =
            QStringLiteral("model code 2601, sub code 0100, serial 20417735");
    }
    const QTreeWidgetItem* item = dialog->backupList()->topLevelItem(row);
    for (int col = 0; col < dialog->backupList()->columnCount(); ++col) {
        EXPECT_EQ(Shown(item->toolTip(col)).toStdString(), tips[col].toStdString())
            << "column " << col;
    }

    for (QLabel* label : {dialog->detailLabel(), dialog->summaryLabel()}) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_EQ(Shown(label->text(), label->textFormat()), label->text());
    }
    EXPECT_TRUE(dialog->detailLabel()->text().contains(markup))
        << dialog->detailLabel()->text().toStdString();

    if (c.field == MarkedField::HeaderName) return;  // unusable: no comparison, no report
    // The report of this visit names the backup (and its path) as written.
    ASSERT_NO_FATAL_FAILURE(compareWith(*dialog, first));
    const auto report = dialog->ReportOfComparison();
    ASSERT_TRUE(report.has_value());
    ReportWindow window(*report, {});
    const QString preview = window.preview()->toPlainText();
    EXPECT_TRUE(preview.contains(QString::fromStdString(name))) << preview.toStdString();
    EXPECT_EQ(preview.contains(markup), c.field != MarkedField::Program) << preview.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Qt, MarkupInABackup,
    ::testing::Values(
        MarkupCase{"BoldFileName", MarkedField::FileName, "<b>bold"},
        MarkupCase{"LinkFileName", MarkedField::FileName, "<a href=\"https:x\">link"},
        MarkupCase{"ImageFileName", MarkedField::FileName, "<img src=\"x.png\">"},
        MarkupCase{"EntityFileName", MarkedField::FileName, "&lt;b&gt;"},
        MarkupCase{"BoldProgram", MarkedField::Program, "<b>bold</b>"},
        MarkupCase{"LinkProgram", MarkedField::Program, "<a href=\"https://x/\">link</a>"},
        MarkupCase{"ImageProgram", MarkedField::Program, "<img src=\"/x.png\">"},
        MarkupCase{"BoldHeaderName", MarkedField::HeaderName, "<b>bold</b>"},
        MarkupCase{"LinkHeaderName", MarkedField::HeaderName, "<a href=\"https://x/\">link</a>"},
        MarkupCase{"ImageHeaderName", MarkedField::HeaderName, "<img src=\"/x.png\">"},
        MarkupCase{"BoldPath", MarkedField::PathElsewhere, "<b>bold</b>"},
        MarkupCase{"LinkPath", MarkedField::PathElsewhere, "<a href=\"https:x\">link</a>"},
        MarkupCase{"ImagePath", MarkedField::PathElsewhere, "<img src=\"/x.png\">"}),
    [](const auto& p) { return std::string(p.param.name); });

// A backup file elsewhere on the disk, connected to a radio whose Power(Hi) and SQL were raised
// since Connect.
class FileElsewhere : public BackupsDesktop {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(BackupsDesktop::SetUp());
        ASSERT_NO_FATAL_FAILURE(connect());
        ASSERT_NO_FATAL_FAILURE(raise({" Power(Hi)", "       SQL"}));
        changed = d.radio.image();
        // The radio's memory as found, kept on another computer an hour earlier.
        BackupRecord r = keptRecord();
        r.utcSeconds -= 3600;
        good = FormatBackupFile(r);
        std::filesystem::create_directory(d.folder.dir.file("elsewhere"));
        path = d.folder.dir.file("elsewhere/velka 1.vbk");
    }
    // File > Restore from file…, the file chooser answering path.
    BackupsDialog* openFile(const std::string& contents) {
        TempDir::write(path, contents);
        d.window.openFileChooser([this](const QString&) { return QString::fromStdString(path); });
        return open(d.window.restoreFileAction());
    }

    std::string changed;
    std::string good;
    std::string path;
};

// The same checks as a file of the folder, and the same words, before any question is asked;
// nothing is written anywhere.
TEST_F(FileElsewhere, IsRefusedAsAFileOfTheFolderIs) {
    struct Case {
        const char* name;
        std::function<std::string(std::string)> spoil;
        std::string why;
    };
    const auto header = [](const std::string& from, const std::string& to) {
        return
            [from, to](std::string text) { return text.replace(text.find(from), from.size(), to); };
    };
    const std::vector<Case> cases = {
        {"another model",
         [&](std::string text) {
             return header("identification: EFEEE12601", "identification: EFEEE12701")(
                 header("model: 2601", "model: 2701")(std::move(text)));
         },
         "a backup of another transceiver model (2701)"},
        {"damaged",
         [](std::string text) {
             text[text.size() - 100] = static_cast<char>(text[text.size() - 100] ^ 0x01);
             return text;
         },
         "the checksum does not match the image"},
        {"cut short", [](const std::string& text) { return text.substr(0, text.size() - 832); },
         "truncated: 832 of 1664 image bytes"},
        {"one byte more", [](const std::string& text) { return text + '\0'; },
         "oversized: 1665 bytes after the header, 1664 expected"},
        {"far too large",
         [](const std::string& text) {
             return text + std::string(BackupKeeper::kMaxFileBytes, 'x');
         },
         "oversized: more than 65536 bytes"},
    };
    const auto folderBefore = store.files;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string spoiled = c.spoil(good);
        store.files["26010100-20417735-20240501T100000Z.vbk"] = spoiled;
        EXPECT_EQ(d.core.backups.Load("26010100-20417735-20240501T100000Z.vbk").reason, c.why)
            << "in the folder";
        BackupsDialog* dialog = openFile(spoiled);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->selectedName(), path);
        EXPECT_EQ(dialog->detailLabel()->text().toStdString(), path + " cannot be used: " + c.why);
        ASSERT_NE(dialog->problemBox(), nullptr);
        EXPECT_EQ(dialog->problemBox()->text().toStdString(),
                  "Cannot restore this backup.\n\n" + path + ": " + c.why);
        EXPECT_EQ(dialog->confirmBox(), nullptr);
        ASSERT_NO_FATAL_FAILURE(close(dialog));
        store.files = folderBefore;

        // The restore the window starts on a confirmation refuses it in the same words.
        EXPECT_FALSE(d.core.StartRestore(path));
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.box.openBox() != nullptr; }, 5000));
        EXPECT_EQ(d.box.openBox()->text().toStdString(),
                  "Cannot restore this backup.\n\n" + path + ": " + c.why);
        d.box.openBox()->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.box.openBox() == nullptr; }, 5000));
        EXPECT_FALSE(d.core.RestoreRunning());
    }

    SCOPED_TRACE("another sub code");
    BackupRecord otherSub = keptRecord();
    otherSub.identity =
        BackupIdentity::FromAnswer(IdentityAnswer("20417735", std::string("\x02\x00", 2)));
    BackupsDialog* dialog = openFile(FormatBackupFile(otherSub));
    ASSERT_NE(dialog, nullptr);
    const std::string why =
        "Cannot restore this backup.\n\nIt was made of a transceiver with model code 2601 and sub "
        "code 0200; the transceiver connected has model code 2601 and sub code 0100.";
    ASSERT_NE(dialog->problemBox(), nullptr);
    EXPECT_EQ(dialog->problemBox()->text().toStdString(), why);
    EXPECT_FALSE(dialog->restoreButton()->isEnabled());
    EXPECT_EQ(dialog->confirmBox(), nullptr);
    ASSERT_NO_FATAL_FAILURE(close(dialog));
    EXPECT_FALSE(d.core.StartRestore(path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.box.openBox() != nullptr; }, 5000));
    EXPECT_EQ(d.box.openBox()->text().toStdString(), why);
    d.box.openBox()->close();

    EXPECT_EQ(store.files, folderBefore) << "the folder is as it was";
    EXPECT_EQ(d.radio.image(), changed) << "nothing reached the radio";
}

// A good file goes through the question a backup of the folder gets, and the verified restore;
// the folder gains only the restore's own reads.
TEST_F(FileElsewhere, RestoresAfterTheSameQuestion) {
    const auto before = store.files;
    BackupsDialog* dialog = openFile(good);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->problemBox(), nullptr);
    EXPECT_EQ(dialog->backupList()->topLevelItem(0)->text(BackupsDialog::kFileColumn).toStdString(),
              path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->confirmBox() != nullptr; }, 5000));
    EXPECT_EQ(dialog->confirmBox()->text().toStdString(),
              "Write 2 changed items and 0 other bytes to the radio?\n\nThe file " + path +
                  " is outside the backups folder.");
    QTest::mouseClick(dialog->confirmBox()->button(QMessageBox::Yes), Qt::LeftButton);
    EXPECT_TRUE(d.core.RestoreRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.restoredBox() != nullptr; }, 60000));
    EXPECT_EQ(d.radio.image(), keptRecord().image);
    d.window.restoredBox()->close();

    EXPECT_EQ(TempDir::read(path), good) << "the file is only read";
    for (const auto& [name, contents] : store.files) {
        if (before.count(name) != 0) {
            EXPECT_EQ(contents, before.at(name)) << name;
            continue;
        }
        const BackupLoad load = d.core.backups.Load(name);
        ASSERT_TRUE(load.usable()) << name;
        EXPECT_TRUE(load.record->origin == BackupOrigin::BeforeRestore ||
                    load.record->origin == BackupOrigin::RestoreCheck)
            << name << " is no copy of the file";
    }
}

// What is written is what the technician saw compared: a file changed behind the question is
// not written.
TEST_F(FileElsewhere, AFileChangedAfterItWasComparedIsNotWritten) {
    BackupsDialog* dialog = openFile(good);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->confirmBox() != nullptr; }, 5000));
    BackupRecord other = keptRecord();
    other.image[VelkaMemory::kSql] = static_cast<char>(other.image[VelkaMemory::kSql] + 40);
    TempDir::write(path, FormatBackupFile(other));
    QTest::mouseClick(dialog->confirmBox()->button(QMessageBox::Yes), Qt::LeftButton);
    EXPECT_FALSE(d.core.RestoreRunning());
    ASSERT_NE(dialog->problemBox(), nullptr);
    EXPECT_EQ(dialog->problemBox()->text().toStdString(),
              "The backup file has changed since it was compared; nothing was written.\n\nLook at "
              "the comparison again.");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(d.radio.image(), changed);
    dialog->close();
}

}  // namespace
}  // namespace calvex
