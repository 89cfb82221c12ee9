// The radio changes only when the technician means it, against the simulated radio on the fake
// clock: another unit on the cable gets nothing, Connect sends back exactly what it read, and a
// procedure stopped before its end puts back what it tried.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "rig/FlowBench.h"
#include "rig/ImageComparison.h"
#include "rig/NarrowRatio.h"

namespace calvex {
namespace {

using testing::CommandOf;
using testing::FlowBench;
using testing::RandomImage;
using testing::SameImage;

constexpr const char* kPutBack =
    " procedure was stopped before its end. The values it tried have been put back: the "
    "transceiver holds what it held before the procedure.";

class SafetyFlow : public FlowBench, public ::testing::Test {
  protected:
    SafetyFlow() {
        core.onRestoreDone([this](const RestoreResult& r) { results.push_back(r); });
        onHeard = [this](const std::string& frame) { heard.push_back(CommandOf(frame)); };
    }

    // The technician moves the cable to unit: it and the radio on the line change places.
    void moveCableTo(velka::Transceiver& unit) {
        const std::string image = radio.image();
        const std::string serial = radio.serial();
        radio.lineCut(peer.nowMs());
        radio.image(unit.image());
        radio.serial(unit.serial());
        unit.image(image);
        unit.serial(serial);
    }
    bool settled() {
        return !rig.RigVelkaProp_PuttingBack() && !core.seq.OpRunning() &&
               (state() == 0 || state() == 19 || state() == 20);
    }
    int heardOf(int command) const {
        return static_cast<int>(std::count(heard.begin(), heard.end(), command));
    }

    std::vector<RestoreResult> results;
    // The command of every frame the radio on the line has heard.
    std::vector<int> heard;
};

// ---- The identity travels with the image ----

struct CableCase {
    const char* name;
    bool anotherUnit;
    bool restore;  // otherwise a key after the port was released
};

class CableMoved : public SafetyFlow, public ::testing::WithParamInterface<CableCase> {};

TEST_P(CableMoved, OnlyTheUnitReadAtConnectIsChanged) {
    const CableCase& c = GetParam();
    if (!c.restore) core.ComAutoRelease(1);
    ASSERT_TRUE(connect());
    const std::string backupOfA = core.backups.List()->front().name;
    ASSERT_TRUE(tickUntil([&] { return !core.com.comOpen(); }, c.restore ? 1 : 100) || c.restore);

    velka::Transceiver b(RandomImage(5));
    b.serial("BBBB2222");
    if (c.anotherUnit) moveCableTo(b);
    const std::string before = radio.image();
    const uint8_t powerBefore = radio.imageByte(79);
    heard.clear();

    if (c.restore) {
        ASSERT_TRUE(core.StartRestore(backupOfA));
        ASSERT_TRUE(tickUntil([&] { return !results.empty(); }));
    } else {
        console.UpDown(kPowerHi, +1);
        for (int i = 0; i < 40; ++i)
            tick();
    }

    if (c.anotherUnit) {
        EXPECT_TRUE(SameImage(radio.image(), before)) << "another unit is left as it was";
        EXPECT_EQ(heardOf(0xE8) - (c.restore ? 1 : 0), 0) << "only a read's rate switch";
        EXPECT_EQ(heardOf(0xE3), 0);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find("20417735"), std::string::npos) << messages[0];
        EXPECT_NE(messages[0].find("BBBB2222"), std::string::npos) << messages[0];
        EXPECT_NE(messages[0].find(c.restore ? "Nothing was written." : "Nothing was sent"),
                  std::string::npos)
            << messages[0];
        EXPECT_EQ(messages[0].rfind(c.restore ? "Cannot restore this backup."
                                              : "Another transceiver is on the cable.",
                                    0),
                  0u)
            << messages[0];
        EXPECT_EQ(state(), 0);
        if (c.restore) {
            EXPECT_EQ(results[0].outcome, RestoreResult::Outcome::NotStarted);
            // The other unit's memory is kept as what it is: nothing was restored to it.
            const auto list = *core.backups.List();
            const auto ofB = std::find_if(list.begin(), list.end(), [](const auto& e) {
                return e.load.usable() && e.load.record->identity.serial == "BBBB2222";
            });
            ASSERT_NE(ofB, list.end());
            EXPECT_EQ(ofB->load.record->origin, BackupOrigin::OtherUnit);
            EXPECT_EQ(BackupOriginLabel(ofB->load.record->origin), "Read of another unit, refused");
            EXPECT_EQ(std::count_if(list.begin(), list.end(),
                                    [](const auto& e) {
                                        return e.load.usable() &&
                                               e.load.record->origin == BackupOrigin::BeforeRestore;
                                    }),
                      0);
        }
        // Connect reads the unit now on the cable, and from then on adjusts it.
        ASSERT_TRUE(connect());
        EXPECT_EQ(core.ConnectedIdentity().serial, "BBBB2222");
        console.UpDown(kPowerHi, +1);
        ASSERT_TRUE(tickUntil([&] { return radio.imageByte(79) == ((before[79] + 1) & 0xFF); }));
    } else if (c.restore) {
        ASSERT_EQ(results[0].outcome, RestoreResult::Outcome::Restored) << results[0].text;
        EXPECT_TRUE(messages.empty());
    } else {
        EXPECT_EQ(radio.imageByte(79), powerBefore + 1);
        // The port was opened again: the radio was identified before the key went out.
        ASSERT_GE(heard.size(), 2u);
        EXPECT_EQ(heard[0], 0xE0);
        EXPECT_EQ(heardOf(0xE0), 1);
        EXPECT_EQ(heard[1], 0xE8);
        EXPECT_TRUE(messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Rig, CableMoved,
                         ::testing::Values(CableCase{"AnotherUnitAfterARelease", true, false},
                                           CableCase{"TheSameUnitAfterARelease", false, false},
                                           CableCase{"AnotherUnitForARestore", true, true},
                                           CableCase{"TheSameUnitForARestore", false, true}),
                         [](const auto& p) { return std::string(p.param.name); });

// A key after the cable may have moved: the port released, or held open through a quiet spell,
// or live readings going on. Each kind of item goes out whole to the unit read at Connect, and
// not one byte of it to another unit.
enum class Line { Released, HeldQuiet, LiveReadings };

struct KeyCase {
    std::string name;
    VelkaItem item;
    Line line;
    bool anotherUnit;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<KeyCase> AllKeyCases() {
    struct Item {
        const char* name;
        VelkaItem item;
    };
    const Item items[] = {{"WideLevel", VelkaItem::BalW},
                          {"OtherWideLevel", VelkaItem::ModW},
                          {"Ratio", VelkaItem::BalRatio},
                          {"SingleByte", VelkaItem::PowerHi}};
    struct LineKind {
        const char* name;
        Line line;
    };
    const LineKind lines[] = {{"AfterARelease", Line::Released},
                              {"PortHeldQuiet", Line::HeldQuiet},
                              {"LiveReadings", Line::LiveReadings}};
    std::vector<KeyCase> cases;
    for (const Item& i : items)
        for (const LineKind& l : lines)
            for (bool another : {false, true}) {
                cases.push_back(
                    {std::string(i.name) + l.name + (another ? "AnotherUnit" : "TheSameUnit"),
                     i.item, l.line, another});
            }
    return cases;
}

class KeyAfterAQuietLine : public SafetyFlow, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyAfterAQuietLine, ReachesOnlyTheUnitReadAtConnectAndWhole) {
    const KeyCase& c = GetParam();
    if (c.line == Line::Released) core.ComAutoRelease(1);
    ASSERT_TRUE(connect());
    if (c.line == Line::LiveReadings) rig.RigOpFunc_LiveReadings(true);
    velka::Transceiver b(RandomImage(7));
    b.serial("BBBB2222");
    if (c.anotherUnit) moveCableTo(b);
    const std::string before = radio.image();
    heard.clear();
    adjustments.clear();
    // Nothing pressed for two and a half seconds.
    for (int i = 0; i < 50; ++i)
        tick();
    if (c.line == Line::Released) {
        ASSERT_FALSE(core.com.comOpen());
    }
    if (c.line == Line::HeldQuiet) {
        ASSERT_TRUE(core.com.comOpen());
    }

    const int16_t item = Index(c.item);
    if (state() != 0) console.UpDown(item, +1);
    ASSERT_TRUE(tickUntil([&] { return settled() && (state() == 0 || !anyChanged()); }));
    for (int i = 0; i < 10; ++i)
        tick();

    if (c.anotherUnit) {
        EXPECT_TRUE(SameImage(radio.image(), before)) << "another unit is left as it was";
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].rfind("Another transceiver is on the cable.", 0), 0u) << messages[0];
        EXPECT_NE(messages[0].find("20417735"), std::string::npos) << messages[0];
        EXPECT_NE(messages[0].find("BBBB2222"), std::string::npos) << messages[0];
        EXPECT_EQ(state(), 0);
        EXPECT_EQ(heardOf(0xE8), adjustmentsOf(3)) << "nothing but readings";
        return;
    }
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_FALSE(SameImage(radio.image(), before)) << "the key reached the radio";
    // The radio holds exactly what the program's image and the console say.
    EXPECT_TRUE(SameImage(radio.image(), core.radio.eepImage.ReadBlock(0, 1664)));
    const ItemRow& row = RowOf(c.item);
    if (row.eeAdr >= 0) {
        EXPECT_EQ(radio.imageByte(row.eeAdr), console.Value(item));
    }
    if (const ItemRow* ratio = RatioRowOf(item)) {
        EXPECT_EQ(radio.imageByte(RowOf(ratio->wide).eeAdr), console.Value(Index(ratio->wide)));
        EXPECT_EQ(
            radio.imageByte(ratio->narrowAdr),
            NarrowLevel(console.Value(Index(ratio->wide)), console.Value(Index(ratio->item))));
    }
    if (c.line != Line::LiveReadings) {
        // The radio was identified once before the key's frames, and they went out in order.
        ASSERT_GE(heard.size(), 2u);
        EXPECT_EQ(heard[0], 0xE0);
        EXPECT_EQ(heardOf(0xE0), 1);
        EXPECT_EQ(heardOf(0xE8), RatioRowOf(item) && row.eeAdr >= 0 ? 2 : 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Rig, KeyAfterAQuietLine, ::testing::ValuesIn(AllKeyCases()),
                         [](const auto& p) { return p.param.name; });

// The line lost between a wide level and the narrow level that follows it: the program's image
// (and so every backup and report made from it) holds what the radio holds.
TEST_F(SafetyFlow, ALineLostBetweenTwoFramesLeavesTheImageAsTheRadioHoldsIt) {
    std::string image = radio.image();
    image[106] = 100, image[107] = 75;
    radio.image(image);
    ASSERT_TRUE(connect());
    port.autoDrain(false);
    console.UpDown(kBalW, +1);
    ASSERT_TRUE(tickUntil([&] { return port.OutBufferCount() > 0; }, 20));
    port.drain();
    ASSERT_TRUE(tickUntil([&] { return port.OutBufferCount() > 0; }, 5)) << "the narrow level";
    port.loseDevice("Input/output error");
    ASSERT_TRUE(tickUntil([&] { return !messages.empty(); }));
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_EQ(radio.imageByte(106), 101);
    EXPECT_EQ(radio.imageByte(107), 75);
    EXPECT_TRUE(SameImage(radio.image(), core.radio.eepImage.ReadBlock(0, 1664)));
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(SafetyFlow, WithoutReleaseNothingIsAddedOnTheWire) {
    ASSERT_TRUE(connect());
    heard.clear();
    console.UpDown(kPowerHi, +1);
    ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
    EXPECT_EQ(heard, std::vector<int>{0xE8});
}

// ---- Connect writes back exactly what it read ----

TEST_F(SafetyFlow, ConnectAndARestoreLeaveEveryByteAsRead) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::string image = RandomImage(seed);
        if (seed == 1) {
            // Levels no ratio can carry: narrow above wide, and wide 0.
            image[72] = 60, image[73] = 70, image[106] = 0, image[107] = 75;
        }
        radio.image(image);
        utc.now += 60;
        ASSERT_TRUE(connect());
        EXPECT_TRUE(SameImage(radio.image(), image)) << "after Connect";

        // A restore of that backup over another memory, then a full cycle more.
        const std::string backup = core.backups.List()->front().name;
        radio.image(RandomImage(seed + 100));
        utc.now += 60;
        ASSERT_TRUE(connect());
        const std::size_t before = results.size();
        ASSERT_TRUE(core.StartRestore(backup));
        ASSERT_TRUE(tickUntil([&] { return results.size() > before; }));
        ASSERT_EQ(results.back().outcome, RestoreResult::Outcome::Restored);
        ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
        rig.RigOpFunc_ClickCmd00(1);
        tick();
        ASSERT_TRUE(tickUntil([&] { return state() == 19; }));
        EXPECT_TRUE(SameImage(radio.image(), image)) << "after a restore and a cycle";
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(SafetyFlow, TheNarrowLevelFollowsOnlyOnceWideOrRatioIsChanged) {
    std::string image = radio.image();
    image[106] = 100, image[107] = 75;
    radio.image(image);
    ASSERT_TRUE(connect());
    EXPECT_EQ(radio.imageByte(107), 75);
    console.UpDown(kBalW, +1);
    ASSERT_TRUE(tickUntil([&] { return radio.imageByte(106) == 101; }));
    ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
    const int ratio = console.Value(kBalRatio);
    EXPECT_EQ(radio.imageByte(107), static_cast<int>(101 * ratio / 255.0 + 0.5));
    // Back to the pair as read: the level as read goes back too.
    console.UpDown(kBalW, -1);
    ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
    EXPECT_EQ(radio.imageByte(107), 75);
}

// ---- A procedure stopped before its end leaves the radio as it found it ----

struct Procedure {
    const char* name;
    // Starts the procedure and runs it until it has tried values on the radio.
    std::function<void(SafetyFlow&)> run;
    int16_t otherItem;  // Enter here starts another procedure
};

struct Stop {
    const char* name;
    std::function<void(SafetyFlow&, const Procedure&)> stop;
    bool noted;  // the technician is told
};

int TableWrites(const FlowBench& b) {
    int n = 0;
    for (const auto& a : b.adjustments)
        n += a.first >= 0x14 && a.first <= 0x3B;
    return n;
}

void TxfFirstPhase(SafetyFlow& b) {
    b.enter(FlowBench::kTxf);
    ASSERT_TRUE(b.tickUntil([&] { return b.procStep() == 3 || b.procStep() == 5; }));
    b.console.UpDown(FlowBench::kTxf, +5);
    const int writes = TableWrites(b);
    ASSERT_TRUE(b.tickUntil([&] { return TableWrites(b) >= writes + 4; }));
}

void TxfSecondPhase(SafetyFlow& b) {
    TxfFirstPhase(b);
    b.enter(FlowBench::kTxf);
    ASSERT_TRUE(b.tickUntil([&] { return FlowBench::Access::txfSecondPhase(b.rig); }));
    ASSERT_TRUE(b.tickUntil([&] { return b.procStep() == 3 || b.procStep() == 5; }));
    b.console.UpDown(FlowBench::kTxf, +3);
    const int writes = TableWrites(b);
    ASSERT_TRUE(b.tickUntil([&] { return TableWrites(b) >= writes + 4; }));
}

void TxfTableHalfWritten(SafetyFlow& b) {
    TxfSecondPhase(b);
    ASSERT_TRUE(b.tickUntil([&] { return b.procStep() == 3 || b.procStep() == 5; }));
    b.enter(FlowBench::kTxf);
    const int writes = TableWrites(b);
    ASSERT_TRUE(b.tickUntil([&] { return TableWrites(b) >= writes + 20; }));
}

void Sweep(SafetyFlow& b, int16_t item, int command) {
    b.enter(item);
    const int sent = b.adjustmentsOf(command);
    ASSERT_TRUE(b.tickUntil([&] { return b.adjustmentsOf(command) >= sent + 6; }));
}

const Procedure kProcedures[] = {
    {"TxfFirstPhase", TxfFirstPhase, FlowBench::kBpfT1},
    {"TxfSecondPhase", TxfSecondPhase, FlowBench::kBpfT1},
    {"TxfTableHalfWritten", TxfTableHalfWritten, FlowBench::kBpfT1},
    {"BpfT1", [](SafetyFlow& b) { Sweep(b, FlowBench::kBpfT1, 12); }, FlowBench::kTxf},
    {"BpfT2", [](SafetyFlow& b) { Sweep(b, FlowBench::kBpfT2, 13); }, FlowBench::kTxf},
    {"BpfAll", [](SafetyFlow& b) { Sweep(b, FlowBench::kBpfAll, 12); }, FlowBench::kTxf},
};

const Stop kStops[] = {
    {"F5", [](SafetyFlow& b, const Procedure&) { b.rig.RigOpFunc_ClickCmd00(1); }, true},
    {"DispPara",
     [](SafetyFlow& b, const Procedure&) {
         b.rig.RigOpFunc_ClickCmd00(2);
         ASSERT_TRUE(b.tickUntil([&] { return b.rig.RigVelkaProp_DispPara(); }));
         b.rig.RigOpFunc_ClickCmd00(2);
     },
     true},
    {"Connect", [](SafetyFlow& b, const Procedure&) { b.rig.RigOpFunc_ClickCmd00(0); }, true},
    {"EnterElsewhere",
     [](SafetyFlow& b, const Procedure& p) {
         b.enter(p.otherItem);
         // The other procedure starts once the first one's values are back; stop it too.
         ASSERT_TRUE(b.tickUntil([&] { return !b.rig.RigVelkaProp_PuttingBack(); }));
         ASSERT_TRUE(b.tickUntil([&] { return b.procStep() != 0; }));
         b.tick();
         b.rig.RigOpFunc_ClickCmd00(1);
     },
     true},
    {"PortChange", [](SafetyFlow& b, const Procedure&) { b.core.ComPortNo(2); }, true},
    {"Exit",
     [](SafetyFlow& b, const Procedure&) {
         if (b.rig.RigOpFunc_StopForExit()) {
             ASSERT_TRUE(b.tickUntil([&] { return !b.rig.RigVelkaProp_PuttingBack(); }, 20));
         }
     },
     false},
};

struct StopCase {
    const Procedure* procedure;
    const Stop* stop;
};

std::vector<StopCase> AllStopCases() {
    std::vector<StopCase> cases;
    for (const auto& p : kProcedures)
        for (const auto& s : kStops)
            cases.push_back({&p, &s});
    return cases;
}

class ProcedureStopped : public SafetyFlow, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ProcedureStopped, PutsBackWhatItTried) {
    const Procedure& p = *GetParam().procedure;
    const Stop& s = *GetParam().stop;
    ASSERT_TRUE(connect());
    const std::string before = radio.image();
    const int16_t t1 = console.Value(kBpfT1);
    const int16_t t2 = console.Value(kBpfT2);
    p.run(*this);
    if (HasFatalFailure()) return;
    ASSERT_FALSE(SameImage(radio.image(), before)) << "nothing was tried";

    s.stop(*this, p);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(tickUntil([&] { return settled(); }));
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_TRUE(SameImage(radio.image(), before));
    EXPECT_EQ(procStep(), 0);
    const bool noted = std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
        return m.find(kPutBack) != std::string::npos;
    });
    EXPECT_EQ(noted, s.noted);
    EXPECT_EQ(messages.size(), s.noted ? 1u : 0u) << (messages.empty() ? "" : messages[0]);
    // A new port or the program's end leave no console to look at.
    if (std::string(s.name) == "Exit" || std::string(s.name) == "PortChange") return;
    // The console shows the procedure's start state, and what it shows is what the radio holds.
    EXPECT_EQ(console.Value(kBpfT1), t1);
    EXPECT_EQ(console.Value(kBpfT2), t2);
    EXPECT_NE(window.console.List(kTxf).find("[Enter] to Start"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Rig, ProcedureStopped, ::testing::ValuesIn(AllStopCases()),
                         [](const auto& p) {
                             return std::string(p.param.procedure->name) + "By" +
                                    p.param.stop->name;
                         });

struct AsFoundCase {
    const char* name;
    bool restoreFirst;  // a restore of another memory succeeds before the procedure
};

class LineLostInAProcedure : public SafetyFlow,
                             public ::testing::WithParamInterface<AsFoundCase> {};

// The backup named is the one that holds the radio's memory as it was before the procedure: the
// read of Connect, or after a restore its verifying read (Connect's read would undo the restore).
TEST_P(LineLostInAProcedure, NamesTheAddressesAndTheBackupOfTheMemoryAsFound) {
    ASSERT_TRUE(connect());
    std::string backup = core.backups.List()->front().name;
    if (GetParam().restoreFirst) {
        const std::string connectBackup = backup;
        radio.image(RandomImage(7));
        ASSERT_TRUE(connect());
        ASSERT_TRUE(core.StartRestore(connectBackup));
        ASSERT_TRUE(tickUntil([&] { return !results.empty(); }));
        ASSERT_EQ(results[0].outcome, RestoreResult::Outcome::Restored) << results[0].text;
        ASSERT_TRUE(tickUntil([&] { return state() == 19 && !anyChanged(); }));
        const auto list = *core.backups.List();
        const auto check = std::find_if(list.begin(), list.end(), [](const auto& e) {
            return e.load.usable() && e.load.record->origin == BackupOrigin::RestoreCheck;
        });
        ASSERT_NE(check, list.end());
        backup = check->name;
        ASSERT_NE(backup, connectBackup);
        messages.clear();
    }
    const std::string before = radio.image();
    TxfFirstPhase(*this);
    ASSERT_FALSE(HasFatalFailure());
    port.loseDevice("Input/output error");
    ASSERT_TRUE(tickUntil([&] { return !messages.empty(); }));
    for (int i = 0; i < 10; ++i)
        tick();

    ASSERT_EQ(messages.size(), 1u);
    const std::string& m = messages[0];
    EXPECT_EQ(m.rfind("Cannot access COM 1.", 0), 0u) << m;
    // Every byte the program sent a trial value to is named, whether it arrived or not.
    std::vector<int32_t> sent;
    for (int32_t a = 0; a < 1664; ++a) {
        if (core.radio.eepImage.ReadByte(a) != static_cast<uint8_t>(before[a])) sent.push_back(a);
        if (radio.image()[a] != before[a]) {
            EXPECT_EQ(core.radio.eepImage.ReadByte(a), radio.imageByte(a)) << "address " << a;
        }
    }
    ASSERT_FALSE(sent.empty());
    EXPECT_NE(m.find("may hold trial values at addresses " + AddressList(sent) + "."),
              std::string::npos)
        << m;
    EXPECT_NE(m.find("The backup " + backup + " holds them as found."), std::string::npos) << m;
    EXPECT_EQ(state(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rig, LineLostInAProcedure,
                         ::testing::Values(AsFoundCase{"AfterConnect", false},
                                           AsFoundCase{"AfterARestore", true}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace calvex
