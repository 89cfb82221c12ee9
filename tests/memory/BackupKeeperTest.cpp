// The backups kept after every completed read: one history per radio, nothing twice, a year
// kept and each radio's first and last for ever, every failed save told.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/TempDir.h"
#include "memory/BackupKeeper.h"
#include "memory/IdentityAnswer.h"
#include "memory/MemoryBackupStore.h"

namespace calvex {
namespace {

using testing::FakeUtcClock;
using testing::IdentityAnswer;
using testing::MemoryBackupStore;
using testing::TempDir;

constexpr int64_t kDay = 86400;

std::string Image(char fill) {
    return std::string(kBackupImageSize, fill);
}

class Keeper : public ::testing::Test {
  protected:
    Keeper() {
        keeper.UseStore(store);
        keeper.UseClock(clock);
    }
    BackupKeeper::SaveResult Save(const std::string& serial, char fill) {
        return keeper.SaveAfterRead(IdentityAnswer(serial), Image(fill));
    }
    // A backup written as the keeper would have written it at that time.
    void Put(const std::string& serial, int64_t when, char fill, int copy = 1) {
        const BackupRecord r{BackupIdentity::FromAnswer(IdentityAnswer(serial)), when,
                             "Calvex ADJ Rev.1.0", Image(fill)};
        store.files[BackupFileName(r.identity, when, copy)] = FormatBackupFile(r);
    }

    MemoryBackupStore store;
    FakeUtcClock clock;
    BackupKeeper keeper;
};

TEST_F(Keeper, FirstReadOfARadioIsKept) {
    const auto saved = Save("20417735", '\x11');
    EXPECT_EQ(saved.outcome, BackupKeeper::Saved::New);
    EXPECT_EQ(saved.name, "26010100-20417735-20240501T120000Z.vbk");
    EXPECT_EQ(store.backups(), std::vector<std::string>{saved.name});
    const BackupLoad load = keeper.Load(saved.name);
    ASSERT_TRUE(load.usable()) << load.reason;
    EXPECT_EQ(load.record->image, Image('\x11'));
    EXPECT_EQ(load.record->utcSeconds, clock.now);
    EXPECT_EQ(load.record->identity.answer, IdentityAnswer("20417735"));
    EXPECT_FALSE(keeper.TakeReport().has_value());
}

TEST_F(Keeper, AnImageSavedByHandDoesNotStandForARead) {
    BackupRecord byHand{BackupIdentity::FromAnswer(IdentityAnswer("20417735")), clock.now - 60,
                        "Calvex ADJ Rev.1.0", Image('\x11')};
    byHand.origin = BackupOrigin::ByHand;
    store.files[BackupFileName(byHand.identity, byHand.utcSeconds)] = FormatBackupFile(byHand);
    const auto saved = Save("20417735", '\x11');
    EXPECT_EQ(saved.outcome, BackupKeeper::Saved::New);
    const BackupLoad load = keeper.Load(saved.name);
    ASSERT_TRUE(load.usable()) << load.reason;
    EXPECT_EQ(load.record->origin, BackupOrigin::Connect);
}

TEST_F(Keeper, AnIdenticalReadAddsNothingAChangedOneAddsAFile) {
    const auto first = Save("20417735", '\x11');
    clock.now += 600;
    const auto same = Save("20417735", '\x11');
    EXPECT_EQ(same.outcome, BackupKeeper::Saved::Unchanged);
    EXPECT_EQ(same.name, first.name);
    EXPECT_EQ(keeper.lastSave().outcome, BackupKeeper::Saved::Unchanged);
    EXPECT_EQ(keeper.lastSave().name, first.name);
    EXPECT_EQ(store.writes, 1);

    clock.now += 600;
    const auto changed = Save("20417735", '\x22');
    EXPECT_EQ(changed.outcome, BackupKeeper::Saved::New);
    EXPECT_EQ(changed.name, "26010100-20417735-20240501T122000Z.vbk");

    // Identical to the newest, not to an older one: back to the first image is a new file.
    clock.now += 600;
    EXPECT_EQ(Save("20417735", '\x11').outcome, BackupKeeper::Saved::New);
    // Another radio has a history of its own.
    EXPECT_EQ(Save("20417736", '\x11').outcome, BackupKeeper::Saved::New);
    EXPECT_EQ(store.backups().size(), 4u);
}

TEST_F(Keeper, TwoImagesWithinOneSecondAreBothKept) {
    Save("20417735", '\x11');
    const auto second = Save("20417735", '\x22');
    const auto third = Save("20417735", '\x33');
    EXPECT_EQ(second.name, "26010100-20417735-20240501T120000Z-2.vbk");
    EXPECT_EQ(third.name, "26010100-20417735-20240501T120000Z-3.vbk");
    // The newest of that second is the one an identical read is compared with.
    EXPECT_EQ(Save("20417735", '\x33').outcome, BackupKeeper::Saved::Unchanged);
    EXPECT_EQ(Save("20417735", '\x22').outcome, BackupKeeper::Saved::New);
}

TEST_F(Keeper, AYearIsKeptAndTheOldestAndNewestOfEveryRadioForEver) {
    const int64_t now = clock.now;
    // A radio first read three years ago, then again now.
    Put("20417735", now - 1100 * kDay, '\x01');     // its oldest: kept however old
    Put("20417735", now - 1100 * kDay, '\x02', 2);  // the same second, later
    Put("20417735", now - 1096 * kDay, '\x03');
    Put("20417735", now - 366 * kDay, '\x04');  // older than a year
    Put("20417735", now - 365 * kDay, '\x05');  // exactly a year: kept
    Put("20417735", now - 10 * kDay, '\x06');   // recent
    Put("11111111", now - 800 * kDay, '\x07');  // another radio: its oldest
    Put("11111111", now - 750 * kDay, '\x08');
    Put("11111111", now - 700 * kDay, '\x09');                        // its newest
    store.files["26010100-20417735-20190101T000000Z.txt"] = "notes";  // not a backup name
    store.files["old.vbk"] = "whatever";                              // not a backup name

    Save("20417735", '\x0A');
    std::vector<std::string> kept;
    for (const auto& entry : store.files)
        kept.push_back(entry.first);
    const BackupIdentity id = BackupIdentity::FromAnswer(IdentityAnswer("20417735"));
    const BackupIdentity other = BackupIdentity::FromAnswer(IdentityAnswer("11111111"));
    EXPECT_EQ(kept, (std::vector<std::string>{
                        BackupFileName(other, now - 800 * kDay),
                        BackupFileName(other, now - 700 * kDay),
                        "26010100-20417735-20190101T000000Z.txt",
                        BackupFileName(id, now - 1100 * kDay),
                        BackupFileName(id, now - 365 * kDay),
                        BackupFileName(id, now - 10 * kDay),
                        BackupFileName(id, now),
                        "old.vbk",
                    }));
}

// A clock set back cannot tell a year: with any backup (of any radio) dated after the save,
// nothing is removed.
TEST_F(Keeper, AClockBehindTheNewestBackupRemovesNothing) {
    const int64_t now = clock.now;
    for (const char* ahead : {"20417735", "11111111"}) {
        store.files.clear();
        Put("20417735", now - 800 * kDay, '\x01');
        Put("20417735", now - 700 * kDay, '\x02');
        Put("20417735", now - 600 * kDay, '\x03');
        Put(ahead, now + kDay, '\x04');
        const auto before = store.backups();

        Save("20417735", '\x05');
        auto expected = before;
        expected.push_back(
            BackupFileName(BackupIdentity::FromAnswer(IdentityAnswer("20417735")), now));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(store.backups(), expected) << "newest backup of " << ahead;
    }
}

TEST_F(Keeper, EveryFailedSaveIsTold) {
    store.failWrites = "No space left on device";
    const auto failed = Save("20417735", '\x11');
    EXPECT_EQ(failed.outcome, BackupKeeper::Saved::Failed);
    EXPECT_EQ(failed.reason, "No space left on device");
    EXPECT_EQ(keeper.lastSave().reason, "No space left on device");
    EXPECT_TRUE(store.backups().empty());
    const auto report = keeper.TakeReport();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->text, "Cannot save the backup of the transceiver's memory.");
    EXPECT_EQ(report->detail, "/data/calvexadj/backups: No space left on device");
    EXPECT_FALSE(keeper.TakeReport().has_value()) << "taken once";

    // The same fault again, for two radios: each read left without a backup is told.
    clock.now += 60;
    EXPECT_EQ(Save("20417736", '\x11').outcome, BackupKeeper::Saved::Failed);
    EXPECT_EQ(Save("20417737", '\x11').outcome, BackupKeeper::Saved::Failed);
    for (int k = 0; k < 2; ++k) {
        const auto again = keeper.TakeReport();
        ASSERT_TRUE(again.has_value()) << "report " << k;
        EXPECT_EQ(again->detail, "/data/calvexadj/backups: No space left on device");
    }
    EXPECT_FALSE(keeper.TakeReport().has_value());

    store.failWrites.clear();
    clock.now += 60;
    EXPECT_EQ(Save("20417735", '\x11').outcome, BackupKeeper::Saved::New);
    EXPECT_FALSE(keeper.TakeReport().has_value()) << "a save that succeeded tells nothing";
    store.failWrites = "Permission denied";
    clock.now += 60;
    EXPECT_EQ(Save("20417735", '\x22').outcome, BackupKeeper::Saved::Failed);
    const auto denied = keeper.TakeReport();
    ASSERT_TRUE(denied.has_value());
    EXPECT_EQ(denied->detail, "/data/calvexadj/backups: Permission denied");
}

TEST_F(Keeper, ListsEveryBackupFileRadioByRadioNewestFirstWithWhyOnesAreUnusable) {
    const int64_t now = clock.now;
    Put("20417735", now - 2 * kDay, '\x01');
    Put("20417735", now - 1 * kDay, '\x02');
    Put("11111111", now - 3 * kDay, '\x03');
    const BackupIdentity id = BackupIdentity::FromAnswer(IdentityAnswer("20417735"));
    const std::string cut = BackupFileName(id, now - 5 * kDay);
    store.files[cut] = FormatBackupFile({id, now - 5 * kDay, "x", Image('\x04')}).substr(0, 900);
    store.files["copied by hand.vbk"] = FormatBackupFile({id, now, "x", Image('\x05')});
    store.files["26010100-20417735-20240501T120000Z.vbk.Xy12Ab"] = "a temporary file";

    const auto list = *keeper.List();
    std::vector<std::string> names;
    for (const auto& e : list)
        names.push_back(e.name);
    const BackupIdentity other = BackupIdentity::FromAnswer(IdentityAnswer("11111111"));
    EXPECT_EQ(names, (std::vector<std::string>{
                         BackupFileName(other, now - 3 * kDay),
                         BackupFileName(id, now - 1 * kDay),
                         BackupFileName(id, now - 2 * kDay),
                         cut,
                         "copied by hand.vbk",
                     }));
    EXPECT_TRUE(list[1].load.usable());
    EXPECT_EQ(list[1].load.record->image, Image('\x02'));
    EXPECT_FALSE(list[3].load.usable());
    EXPECT_EQ(list[3].load.problem, BackupProblem::Truncated);
    EXPECT_TRUE(list[4].load.usable()) << "the contents decide, not the name";
}

TEST_F(Keeper, AFileFarTooLargeIsNotReadWhole) {
    store.files["big.vbk"] = std::string(BackupKeeper::kMaxFileBytes + 5000, 'x');
    const BackupLoad load = keeper.Load("big.vbk");
    EXPECT_FALSE(load.usable());
    EXPECT_EQ(load.problem, BackupProblem::Oversized);
    EXPECT_EQ(keeper.Load("missing.vbk").problem, BackupProblem::Unreadable);
}

// A backup file anywhere on the disk: read to the same bound and checked as the folder's files.
TEST_F(Keeper, AFileAnywhereIsCheckedAsAFileOfTheFolder) {
    const BackupIdentity id = BackupIdentity::FromAnswer(IdentityAnswer("20417735"));
    const std::string good = FormatBackupFile({id, clock.now, "x", Image('\x11')});
    std::string damaged = good;
    damaged.back() = static_cast<char>(damaged.back() ^ 1);
    std::string otherModel = good;
    otherModel.replace(otherModel.find("model: 2601"), 11, "model: 2701");
    otherModel.replace(otherModel.find("identification: EFEEE12601"), 26,
                       "identification: EFEEE12701");
    struct Case {
        const char* name;
        std::string contents;
        BackupProblem problem;
    };
    const std::vector<Case> cases = {
        {"good", good, BackupProblem::None},
        {"damaged", damaged, BackupProblem::Corrupt},
        {"another model", otherModel, BackupProblem::OtherModel},
        {"cut short", good.substr(0, good.size() - 1), BackupProblem::Truncated},
        {"far too large", good + std::string(BackupKeeper::kMaxFileBytes, 'x'),
         BackupProblem::Oversized},
        {"not a backup", "hello", BackupProblem::Foreign},
    };
    TempDir dir;
    const std::string path = dir.file("from a stick.vbk");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir::write(path, c.contents);
        store.files["26010100-20417735-20240501T120000Z.vbk"] = c.contents;
        const BackupLoad outside = keeper.Load(path);
        const BackupLoad inside = keeper.Load("26010100-20417735-20240501T120000Z.vbk");
        EXPECT_EQ(outside.problem, c.problem);
        EXPECT_EQ(outside.problem, inside.problem);
        EXPECT_EQ(outside.reason, inside.reason);
        ASSERT_EQ(outside.usable(), inside.usable());
        if (outside.usable()) {
            EXPECT_EQ(outside.record->image, inside.record->image);
        }
    }
}

struct PunctuationCase {
    const char* name;
    bool olderNames;  // the files were named before the key was exact ('_' for '-' and '/')
};

class PunctuatedSerials : public Keeper, public ::testing::WithParamInterface<PunctuationCase> {
  protected:
    // A backup of the radio with serial, named as the keeper names it now or named as before.
    std::string PutNamed(const std::string& serial, int64_t when, char fill) {
        const BackupRecord r{BackupIdentity::FromAnswer(IdentityAnswer(serial)), when,
                             "Calvex ADJ Rev.1.0", Image(fill)};
        std::string name = GetParam().olderNames
                               ? r.identity.model + r.identity.sub + "-" + r.identity.serial + "-" +
                                     UtcStamp(when) + kBackupExtension
                               : BackupFileName(r.identity, when);
        store.files[name] = FormatBackupFile(r);
        return name;
    }
};

// Two radios whose serials differ only in punctuation have a history each: the first and the
// last of each are kept, and neither's newest stands for the other's read.
TEST_P(PunctuatedSerials, HaveAHistoryEach) {
    const int64_t now = clock.now;
    const std::string dashFirst = PutNamed("2041-773", now - 800 * kDay, '\x01');
    const std::string dashMiddle = PutNamed("2041-773", now - 700 * kDay, '\x02');
    const std::string dashLast = PutNamed("2041-773", now - 10 * kDay, '\x03');
    const std::string slashOnly = PutNamed("2041/773", now - 600 * kDay, '\x04');

    // The slash radio read again with the dash radio's last memory: a read of its own.
    const auto saved = Save("2041/773", '\x03');
    EXPECT_EQ(saved.outcome, BackupKeeper::Saved::New);
    EXPECT_EQ(saved.name, "26010100-2041=2F773-20240501T120000Z.vbk");
    std::vector<std::string> expected = {dashFirst, dashLast, slashOnly, saved.name};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(store.backups(), expected) << "only the dash radio's middle backup is a year old";

    // And the dash radio read again as last found: nothing new.
    clock.now += 60;
    const auto same = Save("2041-773", '\x03');
    EXPECT_EQ(same.outcome, BackupKeeper::Saved::Unchanged);
    EXPECT_EQ(same.name, dashLast);

    // Listed radio by radio, each radio's newest first.
    const auto list = keeper.List();
    ASSERT_TRUE(list) << list.reason();
    std::vector<std::string> serials;
    for (const auto& e : *list) {
        ASSERT_TRUE(e.load.usable()) << e.name;
        serials.push_back(e.load.record->identity.key());
    }
    EXPECT_EQ(serials, (std::vector<std::string>{"26010100-2041=2D773", "26010100-2041=2D773",
                                                 "26010100-2041=2F773", "26010100-2041=2F773"}));
    EXPECT_EQ((*list)[0].name, dashLast);
    EXPECT_EQ((*list)[2].name, saved.name);
}

INSTANTIATE_TEST_SUITE_P(Memory, PunctuatedSerials,
                         ::testing::Values(PunctuationCase{"Names", false},
                                           PunctuationCase{"OlderNames", true}),
                         [](const auto& p) { return std::string(p.param.name); });

// An older name that does not tell its radio and whose contents cannot be used is never removed.
TEST_F(Keeper, AnOlderNameThatDoesNotTellItsRadioIsNeverRemovedUnread) {
    const std::string blurred = "26010100-2041_773-20200101T000000Z.vbk";
    store.files[blurred] = "damaged";
    Put("20417735", clock.now - 900 * kDay, '\x01');
    Put("20417735", clock.now - 800 * kDay, '\x02');
    Save("20417735", '\x03');
    EXPECT_EQ(store.files.count(blurred), 1u);
    EXPECT_EQ(store.backups().size(), 3u) << "the year-old middle backup alone is removed";
}

// A folder that cannot be listed is never taken for an empty one: no save (a name in use could
// be written over), no partial list.
TEST_F(Keeper, AFolderThatCannotBeListedIsAnErrorNeverAnEmptyFolder) {
    Put("20417735", clock.now - 60, '\x01');
    store.failList = "Permission denied";
    const auto listed = keeper.List();
    EXPECT_FALSE(listed);
    EXPECT_EQ(listed.reason(), "Permission denied");

    const auto saved = Save("20417735", '\x02');
    EXPECT_EQ(saved.outcome, BackupKeeper::Saved::Failed);
    EXPECT_EQ(store.writes, 0);
    const auto report = keeper.TakeReport();
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->text, "Cannot save the backup of the transceiver's memory.");
    EXPECT_EQ(report->detail, "/data/calvexadj/backups: cannot be listed: Permission denied");
}

// Only a regular file is opened: a pipe or a device (a serial port) is never read.
TEST_F(Keeper, FromElsewhereOnlyARegularFileIsRead) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.vbk").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.vbk"));
    struct Case {
        std::string path;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {dir.file("pipe.vbk"), "cannot be read: not a regular file"},
        {dir.file("folder.vbk"), "cannot be read: not a regular file"},
        {"/dev/null", "cannot be read: not a regular file"},
        {dir.file("missing.vbk"), "cannot be read: No such file or directory"},
    };
    for (const Case& c : cases) {
        const BackupLoad load = keeper.Load(c.path);
        EXPECT_EQ(load.problem, BackupProblem::Unreadable) << c.path;
        EXPECT_EQ(load.reason, c.reason) << c.path;
    }
}

}  // namespace
}  // namespace calvex
