// Backups on every read and the verified restore, against the simulated radio on the fake
// clock: the whole program without its window.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "memory/BackupFile.h"
#include "model/BuiltInImage.h"
#include "model/CutPoint.h"
#include "model/Fault.h"
#include "rig/FlowBench.h"

namespace calvex {
namespace {

using testing::CommandOf;
using testing::FlowBench;
using testing::RandomImage;
using testing::SameImage;
using velka::CutPoint;

const std::string kCannotAccess = "Cannot access COM 1.\r\n\r\nCheck the following:";
const std::string kCannotWrite =
    "Cannot write cloning data.\r\n\r\nCheck the following:\r\n- Cloning cable connections.\r\n"
    "- Transceiver power is ON.";

class BackupFlow : public FlowBench, public ::testing::Test {
  protected:
    BackupFlow() {
        core.onRestoreDone([this](const RestoreResult& r) {
            results.push_back(r);
            reportedUnderABox += boxOpen ? 1 : 0;
        });
        afterPoll = [this] {
            // A cut line reaches the program as the loss of its device; it is back at once.
            if (radio.takeCut(peer.nowMs())) port.loseDevice("Input/output error");
        };
    }
    int16_t critical(const std::string& text, const std::string& title,
                     const std::string& detail) override {
        details.push_back(detail);
        boxOpen = true;
        const int16_t button = FlowBench::critical(text, title, detail);
        boxOpen = false;
        return button;
    }

    // The newest backup file of the radio.
    std::string newest() const { return core.backups.List()->front().name; }
    std::string imageOf(const std::string& name) const {
        const BackupLoad load = core.backups.Load(name);
        return load.usable() ? load.record->image : "unusable: " + load.reason;
    }
    // Starts a restore and runs until it has reported.
    bool restore(const std::string& name) {
        const std::size_t before = results.size();
        if (!core.StartRestore(name)) return false;
        return tickUntil([&] { return results.size() > before; });
    }
    // Connect, advancing the wall clock a minute first.
    bool reconnect() {
        utc.now += 60;
        return connect();
    }
    // Gives the radio another memory and connects to it; returns what the radio then holds
    // (what it held: Connect sends back what it read).
    std::string otherMemory(unsigned seed) {
        radio.image(RandomImage(seed));
        EXPECT_TRUE(reconnect());
        return radio.image();
    }
    bool idleAndClosed() { return state() == 0 && !core.com.comOpen() && !core.RestoreRunning(); }

    std::vector<std::string> details;
    std::vector<RestoreResult> results;
    bool boxOpen = false;
    // Restores that reported their end while a message box was open.
    int reportedUnderABox = 0;
};

TEST_F(BackupFlow, AReadIsBackedUpOnceBeforeAnythingIsSentToTheRadio) {
    int adjustmentsAtBackup = -1;
    bool adjustModeAtBackup = true;
    onHeard = [&](const std::string&) {
        if (adjustmentsAtBackup < 0 && !backups.backups().empty()) {
            // The first frame heard after the backup exists.
            adjustmentsAtBackup = static_cast<int>(adjustments.size());
            adjustModeAtBackup = radio.adjustMode();
        }
    };
    ASSERT_TRUE(connect());
    ASSERT_TRUE(messages.empty()) << messages[0];

    ASSERT_EQ(backups.backups(),
              std::vector<std::string>{"26010100-20417735-20240501T120000Z.vbk"});
    const BackupLoad load = core.backups.Load(newest());
    ASSERT_TRUE(load.usable()) << load.reason;
    EXPECT_TRUE(SameImage(load.record->image, velka::builtInImage()));
    EXPECT_EQ(load.record->identity.answer, core.seq.ansInfo());
    EXPECT_EQ(core.ConnectedIdentity().key(), "26010100-20417735");
    EXPECT_EQ(load.record->utcSeconds, utc.now);
    // Only the rate switch of the read had been heard: no adjustment had gone out.
    EXPECT_EQ(adjustmentsAtBackup, 1);
    EXPECT_EQ(adjustments.front(), std::make_pair(1, 0x0F));
    EXPECT_FALSE(adjustModeAtBackup);
}

TEST_F(BackupFlow, AChangedRadioMakesASecondBackupAnIdenticalReadNoneAndTheyCompareByItem) {
    ASSERT_TRUE(connect());
    const std::string first = newest();
    ASSERT_TRUE(reconnect());
    EXPECT_EQ(backups.backups().size(), 1u) << "the same memory read again";

    console.UpDown(kPowerHi, +5);
    console.UpDown(Index(VelkaItem::Sql), +3);
    ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
    ASSERT_TRUE(reconnect());
    ASSERT_EQ(backups.backups().size(), 2u);
    EXPECT_TRUE(SameImage(imageOf(newest()), radio.image()));
    EXPECT_TRUE(messages.empty());

    const auto c = core.CompareWithBackup(*core.backups.Load(first).record);
    ASSERT_EQ(c.items.size(), 2u);
    EXPECT_EQ(c.items[0].title, "Power(Hi)");
    EXPECT_EQ(c.items[0].backupValue, "210");
    EXPECT_EQ(c.items[0].currentValue, "215");
    EXPECT_EQ(c.items[1].title, "SQL");
    EXPECT_EQ(c.items[1].backupValue, "90");
    EXPECT_EQ(c.items[1].currentValue, "93");
    EXPECT_TRUE(c.others.empty()) << ComparisonLines(c).back();
    EXPECT_TRUE(core.CompareWithBackup(*core.backups.Load(newest()).record).identical());
}

TEST_F(BackupFlow, ARestoreBringsTheRadioBackByteForByteAndTheConsoleShowsIt) {
    ASSERT_TRUE(connect());
    const std::string backup = newest();
    // The radio's memory is now something else at nearly every address.
    otherMemory(7);
    ASSERT_EQ(backups.backups().size(), 2u);
    utc.now += 60;

    // The radio's present memory is backed up before the write begins.
    std::string keptBeforeWrite;
    onHeard = [&](const std::string& frame) {
        if (CommandOf(frame) == 0xE3) keptBeforeWrite = imageOf(newest());
    };
    const std::string present = radio.image();
    ASSERT_TRUE(restore(backup));

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, RestoreResult::Outcome::Restored);
    EXPECT_EQ(results[0].text,
              "The backup has been restored: the transceiver's memory matches it byte for byte.");
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_TRUE(SameImage(keptBeforeWrite, present));
    EXPECT_EQ(radio.cloneWrites(), 1);
    EXPECT_TRUE(SameImage(radio.image(), velka::builtInImage()));
    EXPECT_TRUE(
        SameImage(core.radio.eepImage.ReadBlock(0, kBackupImageSize), velka::builtInImage()));
    // One more, the restored memory from the verifying read: the present memory is already the
    // newest backup, as Connect sends back what it read.
    EXPECT_EQ(backups.backups().size(), 3u);
    EXPECT_TRUE(SameImage(imageOf(newest()), velka::builtInImage()));

    // As after Connect: the console shows the restored values and adjusting goes on.
    ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
    EXPECT_EQ(console.Value(kPowerHi), 210);
    EXPECT_EQ(console.Value(kBpfT1), 10);
    EXPECT_TRUE(rig.RigVelkaProp_EditEnabled());
    console.UpDown(kPowerHi, +1);
    ASSERT_TRUE(tickUntil([&] { return radio.imageByte(79) == 211; }));
    EXPECT_TRUE(messages.empty());
}

TEST_F(BackupFlow, ARestoreNeedsAConnectedIdleProgram) {
    ASSERT_TRUE(connect());
    const std::string backup = newest();
    core.rig.RigOpFunc_ClickCmd00(0);  // Connect again: reading now
    tick();
    EXPECT_FALSE(core.StartRestore(backup));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Cannot restore a backup now.\r\n\r\nConnect the transceiver first, and let any "
              "procedure end.");
    ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
    enter(kTxf);  // a procedure
    ASSERT_TRUE(tickUntil([&] { return procStep() != 0; }));
    EXPECT_FALSE(core.StartRestore(backup));
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(radio.cloneWrites(), 0);
}

TEST_F(BackupFlow, ABackupOfAnotherSubCodeIsRefused) {
    ASSERT_TRUE(connect());
    // The same radio's backup, but as a transceiver with sub code 00 00 would have answered.
    BackupRecord other = *core.backups.Load(newest()).record;
    other.identity.answer[5] = '\x00';
    other.identity.answer[6] = '\x00';
    other.identity = BackupIdentity::FromAnswer(other.identity.answer);
    other.image = RandomImage(3);
    const std::string name = BackupFileName(other.identity, other.utcSeconds);
    backups.files[name] = FormatBackupFile(other);
    ASSERT_TRUE(core.backups.Load(name).usable());

    EXPECT_FALSE(core.StartRestore(name));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Cannot restore this backup.\r\n\r\nIt was made of a transceiver with model code "
              "2601 and sub code 0000; the transceiver connected has model code 2601 and sub code "
              "0100.");
    EXPECT_FALSE(core.RestoreRunning());
    for (int i = 0; i < 100; ++i)
        tick();
    EXPECT_EQ(radio.cloneWrites(), 0);
    EXPECT_TRUE(SameImage(radio.image(), velka::builtInImage()));
    EXPECT_TRUE(rig.RigVelkaProp_EditEnabled());
    EXPECT_TRUE(results.empty());
}

struct UnfitFile {
    const char* name;
    std::function<std::string(const std::string&)> spoil;
    const char* reason;
};

class UnfitBackupFlow : public BackupFlow, public ::testing::WithParamInterface<UnfitFile> {};

// A file that is not exactly a backup of this radio never reaches it.
TEST_P(UnfitBackupFlow, IsRefusedWithItsReasonAndNothingIsWritten) {
    ASSERT_TRUE(connect());
    const std::string present = otherMemory(5);
    const std::string name = backups.backups().front();
    backups.files[name] = GetParam().spoil(backups.files[name]);

    EXPECT_FALSE(core.StartRestore(name));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Cannot restore this backup.\r\n\r\n" + name + ": " + GetParam().reason);
    for (int i = 0; i < 100; ++i)
        tick();
    EXPECT_EQ(radio.cloneWrites(), 0);
    EXPECT_TRUE(SameImage(radio.image(), present));
    EXPECT_TRUE(rig.RigVelkaProp_EditEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Rig, UnfitBackupFlow,
    ::testing::Values(
        UnfitFile{"Truncated", [](const std::string& f) { return f.substr(0, f.size() - 16); },
                  "truncated: 1648 of 1664 image bytes"},
        UnfitFile{"Oversized", [](const std::string& f) { return f + std::string(16, '\xFF'); },
                  "oversized: 1680 bytes after the header, 1664 expected"},
        UnfitFile{"Foreign", [](const std::string&) { return velka::builtInImage(); },
                  "not a backup file of this program"},
        UnfitFile{"Corrupt",
                  [](const std::string& f) {
                      std::string g = f;
                      g[g.size() - 1000] = static_cast<char>(g[g.size() - 1000] + 1);
                      return g;
                  },
                  "the checksum does not match the image"},
        UnfitFile{"AnotherModel",
                  [](const std::string& f) {
                      std::string g = f;
                      for (const std::string from : {"model: 26", "identification: EFEEE126"}) {
                          std::string to = from;
                          to[to.size() - 1] = '7';
                          g.replace(g.find(from), from.size(), to);
                      }
                      return g;
                  },
                  "a backup of another transceiver model (2701)"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(BackupFlow, WriteFailIsTheCloneWritesMessageAndNeverASuccess) {
    ASSERT_TRUE(connect());
    const std::string backup = newest();
    const std::string present = otherMemory(9);
    const std::string presentBackup = newest();
    radio.fault(velka::Fault::WriteFail, true);
    ASSERT_TRUE(restore(backup));

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], kCannotWrite +
                               "\r\n\r\nThe restore did not complete: the transceiver may hold "
                               "part of the backup. Its memory from before the restore is kept in "
                               "the backup " +
                               presentBackup + ". Connect, then restore again.");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, RestoreResult::Outcome::Failed);
    EXPECT_TRUE(idleAndClosed());
    EXPECT_TRUE(SameImage(radio.image(), present)) << "the radio refused the write";
    for (int i = 0; i < 100; ++i)
        tick();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(results.size(), 1u);

    // Connect reads what the radio holds, not what was to be written.
    radio.fault(velka::Fault::WriteFail, false);
    ASSERT_TRUE(reconnect());
    EXPECT_TRUE(SameImage(core.radio.eepImage.ReadBlock(0, kBackupImageSize), present));
}

struct LostLine {
    const char* name;
    CutPoint point;
    int occurrence;  // counted from the restore's start: its first read is the present memory
    bool written;    // the radio holds the backup once the line is back
};

class LineLostDuringRestore : public BackupFlow, public ::testing::WithParamInterface<LostLine> {};

TEST_P(LineLostDuringRestore, EndsWithThePortMessageAndASecondRestoreCompletes) {
    const LostLine& c = GetParam();
    ASSERT_TRUE(connect());
    const std::string backup = newest();
    const std::string present = otherMemory(11);
    const std::string presentBackup = newest();
    radio.cutAt(c.point, c.occurrence);
    nestedTicks = 5;  // the timer goes on behind the box
    ASSERT_TRUE(restore(backup));
    EXPECT_EQ(reportedUnderABox, 0) << "the end is told once the message is closed";

    ASSERT_TRUE(radio.lastCut().has_value()) << "the line was never cut";
    EXPECT_EQ(radio.lastCut()->point, c.point);
    // One box: the lost line, and that the radio may hold part of the backup.
    const std::string notComplete =
        "The restore did not complete: the transceiver may hold part of the backup. Its memory "
        "from before the restore is kept in the backup " +
        presentBackup + ". Connect, then restore again.";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind(kCannotAccess, 0), 0u) << messages[0];
    EXPECT_TRUE(messages[0].ends_with("\r\n\r\n" + notComplete)) << messages[0];
    EXPECT_EQ(details[0], std::string("COM1: ") + frmCom::kDisconnected);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, RestoreResult::Outcome::Failed);
    EXPECT_EQ(results[0].text, notComplete);
    EXPECT_TRUE(idleAndClosed());
    const std::string held = c.written ? velka::builtInImage() : present;
    EXPECT_TRUE(SameImage(radio.image(), held));

    // Connect reads whatever the radio holds; the restore can then be made again.
    ASSERT_TRUE(reconnect());
    EXPECT_TRUE(SameImage(core.radio.eepImage.ReadBlock(0, kBackupImageSize), held));
    ASSERT_TRUE(restore(backup));
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1].outcome, RestoreResult::Outcome::Restored);
    EXPECT_TRUE(SameImage(radio.image(), velka::builtInImage()));
    EXPECT_EQ(messages.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Rig, LineLostDuringRestore,
                         ::testing::Values(LostLine{"InTheWrite", CutPoint::Write, 1, false},
                                           LostLine{"InTheVerifyingRead", CutPoint::Read, 2, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(BackupFlow, ConnectDuringTheVerifyingReadSaysTheRestoreDidNotComplete) {
    ASSERT_TRUE(connect());
    const std::string backup = newest();
    otherMemory(17);
    const std::string presentBackup = newest();
    ASSERT_TRUE(core.StartRestore(backup));
    ASSERT_TRUE(tickUntil(
        [&] { return RigVelkaTestAccess::restoreState(rig) == RestoreOperation::State::Verify; },
        4000));
    rig.RigOpFunc_ClickCmd00(0);
    ASSERT_TRUE(tickUntil([&] { return !messages.empty(); }));
    EXPECT_EQ(messages[0],
              "The restore did not complete: the transceiver may hold part of the backup. Its "
              "memory from before the restore is kept in the backup " +
                  presentBackup + ". Connect, then restore again.");
    // A Connect once the radio has finished sending reads what it holds.
    ASSERT_TRUE(tickUntil([&] { return state() == 0 || (state() == 19 && !anyChanged()); }));
    ASSERT_TRUE(reconnect());
    EXPECT_TRUE(SameImage(core.radio.eepImage.ReadBlock(0, kBackupImageSize), radio.image()));
}

TEST_F(BackupFlow, ALineLostBeforeTheWriteLeavesTheRadioUnchanged) {
    ASSERT_TRUE(connect());
    const std::string backup = newest();
    const std::string present = otherMemory(13);
    radio.cutAt(CutPoint::Read, 1);
    ASSERT_TRUE(restore(backup));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind(kCannotAccess, 0), 0u) << messages[0];
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, RestoreResult::Outcome::Failed);
    EXPECT_EQ(results[0].text,
              "The restore was stopped before anything was written. The transceiver's memory is "
              "unchanged.");
    EXPECT_EQ(radio.cloneWrites(), 0);
    EXPECT_TRUE(SameImage(radio.image(), present));
    EXPECT_TRUE(idleAndClosed());
    ASSERT_TRUE(reconnect());
    EXPECT_TRUE(SameImage(core.radio.eepImage.ReadBlock(0, kBackupImageSize), present));
}

TEST_F(BackupFlow, AVerifyingReadThatDiffersListsTheAddressesAndNeverSucceeds) {
    ASSERT_TRUE(connect());
    const std::string backup = newest();
    otherMemory(17);
    // The radio keeps two bytes of the write wrongly.
    afterPoll = [this] {
        if (radio.cloneWrites() == 1 && radio.imageByte(79) == 210) {
            std::string image = radio.image();
            image[79] = '\x00';
            image[1000] = static_cast<char>(image[1000] ^ 0x40);
            radio.image(image);
        }
    };
    nestedTicks = 5;
    ASSERT_TRUE(restore(backup));

    EXPECT_EQ(reportedUnderABox, 0);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, RestoreResult::Outcome::Mismatch);
    EXPECT_EQ(results[0].differing, (std::vector<int32_t>{79, 1000}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "The transceiver's memory does not match the backup after the restore.\r\n\r\n"
              "Differing addresses: 79, 1000\r\n\r\nConnect again to read what the transceiver "
              "holds.");
    EXPECT_TRUE(idleAndClosed());
    const std::string held = radio.image();
    ASSERT_TRUE(reconnect());
    EXPECT_TRUE(SameImage(core.radio.eepImage.ReadBlock(0, kBackupImageSize), held));
    EXPECT_EQ(core.radio.eepImage.ReadByte(79), 0);
}

TEST_F(BackupFlow, AFolderThatCannotBeWrittenIsToldAtEveryConnectAndAdjustingGoesOn) {
    backups.failWrites = "Permission denied";
    nestedTicks = 5;  // the box stays open for a while, the timer going on behind it
    ASSERT_TRUE(connect());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Cannot save the backup of the transceiver's memory.");
    EXPECT_EQ(details[0], "/data/calvexadj/backups: Permission denied");
    EXPECT_TRUE(
        SameImage(core.radio.eepImage.ReadBlock(0, kBackupImageSize), velka::builtInImage()));

    console.UpDown(kPowerHi, +2);
    ASSERT_TRUE(tickUntil([&] { return radio.imageByte(79) == 212; }));
    ASSERT_TRUE(reconnect());
    // A second read without a backup is told again, once (never once per tick).
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], messages[0]);
    EXPECT_TRUE(backups.backups().empty());
    EXPECT_EQ(backups.writes, 2);
}

TEST_F(BackupFlow, NothingIsWrittenWhenThePresentMemoryCannotBeKeptFirst) {
    ASSERT_TRUE(connect());
    const std::string backup = newest();
    otherMemory(19);
    // Adjusted since the last read: the present memory has no backup yet.
    console.UpDown(kPowerHi, +1);
    ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
    const std::string present = radio.image();
    backups.failWrites = "No space left on device";
    ASSERT_TRUE(restore(backup));

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, RestoreResult::Outcome::NotStarted);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Cannot save the backup of the transceiver's memory.");
    EXPECT_EQ(messages[1],
              "The restore was not started.\r\n\r\nThe transceiver's present memory could not be "
              "saved first. Nothing was written.");
    EXPECT_EQ(radio.cloneWrites(), 0);
    EXPECT_TRUE(SameImage(radio.image(), present));
    // The console goes on with the memory just read.
    ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
    EXPECT_TRUE(SameImage(core.radio.eepImage.ReadBlock(0, kBackupImageSize), present));
}

}  // namespace
}  // namespace calvex
