// The task's restore states, one pass at a time, with every collaborator faked.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using Outcome = RestoreResult::Outcome;

constexpr const char* kBeforeWrite =
    "The restore was stopped before anything was written. The transceiver's memory is unchanged.";
constexpr const char* kAfterWrite =
    "The restore did not complete: the transceiver may hold part of the backup. Its memory from "
    "before the restore is kept in the backup backup-1.vbk. Connect, then restore again.";

class FakeBackups : public IRigBackups {
  public:
    std::optional<std::string> verifiedRead(const clsCmcEeprom&, BackupOrigin origin) override {
        ++reads;
        origins.push_back(origin);
        if (!keep) return std::nullopt;
        return "backup-" + std::to_string(reads) + ".vbk";
    }
    void restoreFinished(const RestoreResult& result) override { results.push_back(result); }

    bool keep = true;
    int reads = 0;
    std::vector<BackupOrigin> origins;
    std::vector<RestoreResult> results;
};

class RigRestore : public testing::RigVelkaFixture {
  protected:
    RigRestore() {
        rig.RigOpFunc_Backups(&backups);
        radio.radioNameM("2601");
        radio.radionameS("0100");
        radio.eepImage.FillBlock(0, 0x11, 1663);
        radio.eepImage.WriteByte(1663, 0x11);
        image.assign(1664, '\x22');
    }
    // Connected, at the end of a cycle.
    void connected() {
        Access::opState(rig) = 19;
        seq.readVerified = true;
    }
    int16_t state() { return Access::opState(rig); }
    std::optional<RestoreOperation::State> restoreState() { return Access::restoreState(rig); }
    bool imageIsTheBackup() const { return radio.eepImage.ReadBlock(0, 1664) == image; }

    FakeBackups backups;
    std::string image;
};

TEST_F(RigRestore, ReadsWritesAndReadsBackBeforeTheConsoleShowsTheBackup) {
    connected();
    ASSERT_TRUE(rig.RigOpFunc_StartRestore(image, "2601", "0100"));
    EXPECT_TRUE(rig.RigVelkaProp_Restoring());
    EXPECT_FALSE(rig.RigVelkaProp_RestoreAllowed());
    EXPECT_FALSE(rig.RigOpFunc_StartRestore(image, "2601", "0100")) << "one at a time";

    rig.task();  // the cycle ends: the present memory is read
    EXPECT_EQ(state(), clsIndOp_RigVelka::kStateRestore);
    EXPECT_EQ(restoreState(), RestoreOperation::State::ReadBefore);
    EXPECT_EQ(seq.cloneReads, 1);
    EXPECT_EQ(seq.cloneWrites, 0);
    EXPECT_FALSE(imageIsTheBackup());
    EXPECT_FALSE(rig.RigVelkaProp_EditEnabled()) << "no key reaches the radio meanwhile";

    rig.task();  // kept; the backup goes into the image and out with a clone write
    EXPECT_EQ(backups.reads, 1);
    EXPECT_EQ(restoreState(), RestoreOperation::State::Write);
    EXPECT_EQ(seq.cloneWrites, 1);
    EXPECT_TRUE(imageIsTheBackup());
    EXPECT_TRUE(seq.sentNoAnswer.empty());

    rig.task();  // written; read back
    EXPECT_EQ(restoreState(), RestoreOperation::State::Verify);
    EXPECT_EQ(seq.cloneReads, 2);
    EXPECT_TRUE(backups.results.empty());

    rig.task();  // it agrees: the console takes it as after Connect
    EXPECT_EQ(backups.reads, 2);
    ASSERT_EQ(backups.results.size(), 1u);
    EXPECT_EQ(backups.results[0].outcome, Outcome::Restored);
    EXPECT_EQ(seq.sentNoAnswer.front(), "023031");
    EXPECT_TRUE(rig.RigVelkaProp_EditEnabled());
    EXPECT_FALSE(rig.RigVelkaProp_Restoring());
    EXPECT_EQ(console.Value(Index(VelkaItem::PowerHi)), 0x22);
}

class RestoreRefused;

struct RefusalCase {
    const char* name;
    std::function<void(RestoreRefused&)> arrange;
    std::size_t imageSize = 1664;
};

class RestoreRefused : public RigRestore, public ::testing::WithParamInterface<RefusalCase> {
  public:
    void SetState(int16_t s) { Access::opState(rig) = s; }
    void SetProcedure(int16_t step) { Access::procStep(rig) = step; }
};

TEST_P(RestoreRefused, StartsNothing) {
    connected();
    GetParam().arrange(*this);
    image.resize(GetParam().imageSize, '\x22');
    EXPECT_FALSE(rig.RigOpFunc_StartRestore(image, "2601", "0100"));
    EXPECT_FALSE(rig.RigVelkaProp_Restoring());
    // Had it been asked for, the restore would start at the cycle's end.
    Access::opState(rig) = 19;
    Access::procStep(rig) = 0;
    rig.task();
    EXPECT_EQ(seq.cloneReads, 0);
    EXPECT_TRUE(backups.results.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rig, RestoreRefused,
    ::testing::Values(
        RefusalCase{"Idle", [](RestoreRefused& bench) { bench.SetState(0); }},
        RefusalCase{"Reading", [](RestoreRefused& bench) { bench.SetState(2); }},
        RefusalCase{"ParameterDisplay", [](RestoreRefused& bench) { bench.SetState(20); }},
        RefusalCase{"ProcedureRunning", [](RestoreRefused& bench) { bench.SetProcedure(1); }},
        RefusalCase{"ShortImage", [](RestoreRefused&) {}, 1663},
        RefusalCase{"LongImage", [](RestoreRefused&) {}, 1665}),
    [](const auto& p) { return std::string(p.param.name); });

class RestoreNotStarted;

struct NotStartedCase {
    const char* name;
    std::function<void(RestoreNotStarted&)> meanwhile;  // between the read's start and its end
    const char* text;
};

class RestoreNotStarted : public RigRestore, public ::testing::WithParamInterface<NotStartedCase> {
  public:
    clsCmcRadio& Radio() { return radio; }
    FakeBackups& Backups() { return backups; }
};

// Nothing is written; the console goes on with the read just made, as after Connect.
TEST_P(RestoreNotStarted, WritesNothingAndGoesOnWithTheRead) {
    connected();
    ASSERT_TRUE(rig.RigOpFunc_StartRestore(image, "2601", "0100"));
    rig.task();
    GetParam().meanwhile(*this);
    rig.task();
    EXPECT_EQ(seq.cloneWrites, 0);
    EXPECT_FALSE(imageIsTheBackup());
    ASSERT_EQ(backups.results.size(), 1u);
    EXPECT_EQ(backups.results[0].outcome, Outcome::NotStarted);
    EXPECT_EQ(backups.results[0].text, GetParam().text);
    EXPECT_EQ(seq.sentNoAnswer.front(), "023031");
    EXPECT_TRUE(rig.RigVelkaProp_EditEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Rig, RestoreNotStarted,
    ::testing::Values(
        NotStartedCase{"AnotherSubCode",
                       [](RestoreNotStarted& bench) { bench.Radio().radionameS("0000"); },
                       "Cannot restore this backup.\r\n\r\nIt was made of a transceiver with model "
                       "code 2601 and sub code 0100; the transceiver connected has model code "
                       "2601 and sub code 0000. Nothing was written."},
        NotStartedCase{"PresentMemoryNotKept",
                       [](RestoreNotStarted& bench) { bench.Backups().keep = false; },
                       "The restore was not started.\r\n\r\nThe transceiver's present memory could "
                       "not be saved first. Nothing was written."}),
    [](const auto& p) { return std::string(p.param.name); });

struct ResetCase {
    const char* name;
    int passes;  // task passes after the start before the reset
    const char* text;
};

class RestoreReset : public RigRestore, public ::testing::WithParamInterface<ResetCase> {};

// A reset (a clone error's report, Connect, another port) ends the restore as failed, once, and
// tells whether anything had been written.
TEST_P(RestoreReset, EndsItAsFailed) {
    connected();
    ASSERT_TRUE(rig.RigOpFunc_StartRestore(image, "2601", "0100"));
    for (int i = 0; i < GetParam().passes; ++i)
        rig.task();
    rig.RigOpFunc_ResetAll();
    rig.RigOpFunc_ResetAll();
    ASSERT_EQ(backups.results.size(), 1u);
    EXPECT_EQ(backups.results[0].outcome, Outcome::Failed);
    EXPECT_EQ(backups.results[0].text, GetParam().text);
    // Once the write has begun the technician is told, in the reset's report, once.
    EXPECT_EQ(rig.RigOpFunc_TakeNote(), GetParam().text == kAfterWrite ? kAfterWrite : "");
    EXPECT_EQ(rig.RigOpFunc_TakeNote(), "");
    EXPECT_EQ(state(), 0);
    EXPECT_FALSE(rig.RigVelkaProp_Restoring());
    rig.task();
    EXPECT_EQ(state(), 0) << "nothing is resumed";
}

INSTANTIATE_TEST_SUITE_P(Rig, RestoreReset,
                         ::testing::Values(ResetCase{"Requested", 0, kBeforeWrite},
                                           ResetCase{"ReadingThePresentMemory", 1, kBeforeWrite},
                                           ResetCase{"Writing", 2, kAfterWrite},
                                           ResetCase{"ReadingBack", 3, kAfterWrite}),
                         [](const auto& p) { return std::string(p.param.name); });

struct UnitCase {
    const char* name;
    bool otherAtFirstRead;
    bool otherAtReadBack;
    std::vector<BackupOrigin> kept;
    Outcome outcome;
};

class RestoreUnits : public RigRestore, public ::testing::WithParamInterface<UnitCase> {};

// Each read is labelled once the unit that answered it is known: a read of another unit than the
// one read at Connect is never kept as a read before or after a restore.
TEST_P(RestoreUnits, EachReadIsKeptAsWhatItIs) {
    const UnitCase& c = GetParam();
    seq.bound = "unit A";
    seq.identity = "unit A";
    connected();
    ASSERT_TRUE(rig.RigOpFunc_StartRestore(image, "2601", "0100"));
    if (c.otherAtFirstRead) seq.identity = "unit B";
    rig.task();
    rig.task();
    if (c.otherAtReadBack) seq.identity = "unit B";
    rig.task();
    rig.task();
    EXPECT_EQ(backups.origins, c.kept);
    ASSERT_EQ(backups.results.size(), 1u);
    EXPECT_EQ(backups.results[0].outcome, c.outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Rig, RestoreUnits,
    ::testing::Values(UnitCase{"TheSameUnit",
                               false,
                               false,
                               {BackupOrigin::BeforeRestore, BackupOrigin::RestoreCheck},
                               Outcome::Restored},
                      UnitCase{"AnotherUnitBeforeTheWrite",
                               true,
                               false,
                               {BackupOrigin::OtherUnit},
                               Outcome::NotStarted},
                      UnitCase{"AnotherUnitReadBack",
                               false,
                               true,
                               {BackupOrigin::BeforeRestore, BackupOrigin::OtherUnit},
                               Outcome::Failed}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(RigRestore, AReadBackThatIsNotCompleteIsAFailureNeverASuccess) {
    connected();
    ASSERT_TRUE(rig.RigOpFunc_StartRestore(image, "2601", "0100"));
    rig.task();
    rig.task();
    rig.task();
    seq.readVerified = false;
    rig.task();
    EXPECT_EQ(window.cloneErrorMessages, 1);
    ASSERT_EQ(backups.results.size(), 1u);
    EXPECT_EQ(backups.results[0].outcome, Outcome::Failed);
    EXPECT_EQ(backups.reads, 1) << "an incomplete read is not kept";
    EXPECT_EQ(state(), 0);
}

}  // namespace
}  // namespace calvex
