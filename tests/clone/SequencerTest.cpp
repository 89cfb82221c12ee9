#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "clone/CloneBench.h"

namespace calvex {
namespace {

using testing::CloneBench;
using testing::Lines;
using testing::ScriptedTransceiver;

std::string Hex(const std::string& text) {
    return HexStrToByteStr(text);
}
std::string Fe(std::size_t n) {
    return std::string(n, '\xFE');
}

const std::string kNoAnswer =
    Lines({"No answer from transceiver.", "", "Check the following:", "- The COM port settings.",
           "- Cloning cable connections.", "- Transceiver power is ON."});

TEST(Sequencer, IdentifiesTheTransceiver) {
    CloneBench b;
    b.seq.Operation(clsCmcCln3Sequence::kOpIdentify);
    b.seq.start();
    EXPECT_TRUE(b.seq.OpRunning());  // the first frame went out within start
    ASSERT_EQ(b.peer.writes.size(), 1u);
    EXPECT_EQ(b.peer.writes[0].bytes, Hex("FEFEEEEFE026010000FD"));
    EXPECT_EQ(b.peer.writes[0].baud, 9600);
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.seq.ansInfo(), b.peer.identity());
    EXPECT_EQ(b.seq.ansNameM(), "2601");
    EXPECT_EQ(b.seq.ansNameS(), "0100");
    EXPECT_TRUE(b.messages.empty());
    EXPECT_TRUE(b.com.comOpen());
}

TEST(Sequencer, WholeCloneReadByteForByte) {
    CloneBench b;
    b.seq.easyCloneRead();
    ASSERT_TRUE(b.runUntilIdle());
    ASSERT_TRUE(b.messages.empty()) << b.messages.front();

    const auto& w = b.peer.writes;
    ASSERT_EQ(w.size(), 5u);
    EXPECT_EQ(w[0].bytes, Hex("FEFEEEEFE026010000FD"));
    EXPECT_EQ(w[0].baud, 9600);
    EXPECT_EQ(w[1].bytes, Hex("FEFEEEEFE826010100013046FD"));
    EXPECT_EQ(w[1].baud, 9600);
    EXPECT_EQ(w[2].bytes, Fe(39));
    EXPECT_EQ(w[2].baud, 38400);
    EXPECT_EQ(w[3].bytes, Hex("FEFEEEEFE226010100FD"));
    EXPECT_EQ(w[3].baud, 38400);
    EXPECT_EQ(w[4].bytes, Fe(11));
    EXPECT_EQ(w[4].baud, 9600);

    // The opening settings tell the rate story: identify and switch, bulk, preamble back.
    EXPECT_EQ(b.port.openedWith(),
              (std::vector<std::string>{"9600,N,8,1", "38400,N,8,1", "9600,N,8,1"}));
    EXPECT_EQ(b.radio.eepImage.ReadBlock(0, 1664), b.peer.memory.ReadBlock(0, 1664));
    EXPECT_EQ(b.line.cln3D().lastEeAdr(), 1663);
    EXPECT_TRUE(b.com.comOpen());
    EXPECT_EQ(b.com.comBaud(), 9600);
    EXPECT_EQ(b.radio.radionameS(), "0100");
}

TEST(Sequencer, CloneReadAdoptsAcceptedSubCode) {
    CloneBench b;
    b.peer.sub = std::string("\x02\x00", 2);
    b.seq.easyCloneRead();
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_TRUE(b.messages.empty());
    EXPECT_EQ(b.radio.radionameS(), "0200");
    // The read request carries the adopted code.
    EXPECT_EQ(b.peer.frames.back(), Hex("EEEFE226010200"));
}

TEST(Sequencer, WholeImageCloneWrite) {
    CloneBench b;
    for (int32_t a = 0; a < 1664; ++a)
        b.radio.eepImage.WriteByte(a, static_cast<uint8_t>(a ^ 0x5A));
    b.peer.memory.eeSize(1664);
    b.seq.easyCloneWrite();
    ASSERT_TRUE(b.runUntilIdle());
    ASSERT_TRUE(b.messages.empty()) << b.messages.front();

    const auto& f = b.peer.frames;
    ASSERT_EQ(f.size(), 1u + 1u + 104u + 1u);
    EXPECT_EQ(f[0], Hex("EEEFE026010000"));
    EXPECT_EQ(f[1], Hex("EEEFE326010100"));
    for (int i = 0; i < 104; ++i) {
        const std::string& body = f[static_cast<std::size_t>(2 + i)];
        ASSERT_EQ(body.size(), 3u + 40u);
        EXPECT_EQ(body.substr(0, 3), Hex("EEEFE4"));
        EXPECT_EQ(HexStrToByteStr(body.substr(3, 4)), Hex(IntToHex2(static_cast<int16_t>(i >> 4)) +
                                                          IntToHex2(static_cast<int16_t>(i << 4))));
    }
    EXPECT_EQ(f.back(), Hex("EEEFE5") + clsCmcCln3Drv::signature());
    EXPECT_EQ(b.peer.badBlocks, std::vector<std::string>{});
    EXPECT_EQ(b.peer.memory.ReadBlock(0, 1664), b.radio.eepImage.ReadBlock(0, 1664));
    EXPECT_FALSE(b.line.cln3D().Running());
    EXPECT_EQ(b.line.cln3D().lastError(), DriverError::None);
}

TEST(Sequencer, E8WithoutAnswerEndsAtOnce) {
    CloneBench b;
    b.seq.easySendE8NoAnswer("0B3146");
    ASSERT_EQ(b.peer.writes.size(), 1u);
    EXPECT_EQ(b.peer.writes[0].bytes, Hex("FEFEEEEFE8260101000B3146FD"));
    EXPECT_FALSE(b.line.cln3D().Running());
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_TRUE(b.messages.empty());
    EXPECT_EQ(b.peer.writes.size(), 1u);
}

TEST(Sequencer, E8WithAnswerKeepsTheResult) {
    CloneBench b;
    b.seq.easySendE8ReqAnswer("0B3146");
    EXPECT_TRUE(b.line.cln3D().Running());
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_TRUE(b.messages.empty());
    EXPECT_EQ(b.line.cln3D().varLastE8Answer(), Hex("260101000B3041"));
}

TEST(Sequencer, E8WithAnswerResendsThenGivesUp) {
    CloneBench b;
    b.peer.answerE8 = false;
    b.seq.easySendE8ReqAnswer("0B3146");
    int ticks = 0;
    while (b.seq.OpRunning() && ticks < 200) {
        b.tick();
        ++ticks;
    }
    EXPECT_EQ(b.peer.frames.size(), 3u);  // 1 + 2 resends
    EXPECT_EQ(ticks, 3 * 1200 / 50);
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0], kNoAnswer);
    EXPECT_FALSE(b.com.comOpen());
    EXPECT_FALSE(b.seq.OpRunning());
}

TEST(Sequencer, IdentifyIsNotResent) {
    CloneBench b;
    b.peer.script = [](const std::string&) { return std::optional<std::string>(""); };
    b.seq.easyCloneRead();
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.peer.frames.size(), 1u);
    EXPECT_EQ(b.messages, std::vector<std::string>{kNoAnswer});
}

TEST(Sequencer, AutomaticPortRelease) {
    CloneBench b;
    b.seq.comHoldReload(3000);
    b.seq.easySendE8NoAnswer("0B3146");
    ASSERT_TRUE(b.runUntilIdle());
    ASSERT_TRUE(b.com.comOpen());
    int ticks = 0;
    while (b.com.comOpen() && ticks < 200) {
        b.tick();
        ++ticks;
    }
    // The last active pass restarted the count-down; 3000 ms later the port goes.
    EXPECT_GE(ticks * 50, 3000);
    EXPECT_LE(ticks * 50, 3100);
    EXPECT_TRUE(b.messages.empty());
}

TEST(Sequencer, TheReleaseLeavesAPortThatClosedByItselfToItsReport) {
    CloneBench b;
    b.seq.comHoldReload(1000);
    b.seq.easySendE8NoAnswer("0B3146");
    ASSERT_TRUE(b.runUntilIdle());
    ASSERT_TRUE(b.com.comOpen());
    // The device goes away while the port waits for its release; the next tick comes after
    // the release time.
    b.port.loseDevice("Input/output error");
    b.clock.advance(1000);
    b.tick();
    EXPECT_EQ(b.messages,
              std::vector<std::string>{Lines(
                  {"Cannot access COM 1.", "", "Check the following:", "- The COM port settings.",
                   "- Cloning cable connections.", "- Transceiver power is ON."})});
}

TEST(Sequencer, PortStaysOpenWithReleaseOff) {
    CloneBench b;
    b.seq.easySendE8NoAnswer("0B3146");
    for (int i = 0; i < 200; ++i)
        b.tick();
    EXPECT_TRUE(b.com.comOpen());
}

// The radio on the cable after the port was released, and what reaches it of one adjustment.
struct BoundCase {
    const char* name;
    const char* serialOnTheLine;
    bool adjusted;
};

class BoundIdentity : public ::testing::TestWithParam<BoundCase> {};

TEST_P(BoundIdentity, AfterAReleaseOnlyTheBoundRadioIsChanged) {
    CloneBench b;
    b.peer.serial = "AAAA1111";
    b.seq.comHoldReload(1000);
    b.seq.Operation(clsCmcCln3Sequence::kOpIdentify);
    b.seq.start();
    ASSERT_TRUE(b.runUntilIdle());
    b.seq.bindIdentity(b.seq.ansInfo());
    while (b.com.comOpen())
        b.tick();

    b.peer.serial = GetParam().serialOnTheLine;
    const std::size_t before = b.peer.frames.size();
    b.seq.easySendE8NoAnswer("0B3146");
    ASSERT_TRUE(b.runUntilIdle());
    std::vector<std::string> sent(b.peer.frames.begin() + static_cast<std::ptrdiff_t>(before),
                                  b.peer.frames.end());
    std::vector<std::string> expected = {Hex("EEEFE026010000")};
    if (GetParam().adjusted) {
        expected.push_back(Hex("EEEFE8260101000B3146"));
        EXPECT_TRUE(b.messages.empty());
    } else {
        ASSERT_EQ(b.messages.size(), 1u);
        EXPECT_EQ(b.messages[0],
                  Lines({"Another transceiver is on the cable.", "",
                         "The transceiver read at Connect has serial number "
                         "AAAA1111; the one answering now has serial number "
                         "BBBB2222. Nothing was sent to it.",
                         "", "Press Connect to read the transceiver on the cable."}));
        EXPECT_FALSE(b.com.comOpen());
    }
    EXPECT_EQ(sent, expected);
}

INSTANTIATE_TEST_SUITE_P(Clone, BoundIdentity,
                         ::testing::Values(BoundCase{"SameUnit", "AAAA1111", true},
                                           BoundCase{"AnotherUnit", "BBBB2222", false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Sequencer, WithThePortOpenABoundRadioIsNotIdentifiedAgain) {
    CloneBench b;
    b.seq.Operation(clsCmcCln3Sequence::kOpIdentify);
    b.seq.start();
    ASSERT_TRUE(b.runUntilIdle());
    b.seq.bindIdentity(b.seq.ansInfo());
    const std::size_t before = b.peer.frames.size();
    b.seq.easySendE8NoAnswer("0B3146");
    ASSERT_TRUE(b.runUntilIdle());
    ASSERT_EQ(b.peer.frames.size(), before + 1);
    EXPECT_EQ(b.peer.frames.back(), Hex("EEEFE8260101000B3146"));
}

TEST(Sequencer, ACloneWriteGoesOnlyIntoTheBoundRadio) {
    CloneBench b;
    b.peer.memory.eeSize(1664);
    const std::string memory = b.peer.memory.ReadBlock(0, 1664);
    b.peer.serial = "BBBB2222";
    b.seq.bindIdentity(ScriptedTransceiver().identity());
    b.seq.easyCloneWrite();
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.peer.frames, std::vector<std::string>{Hex("EEEFE026010000")});
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0].rfind("Another transceiver is on the cable.", 0), 0u);
    EXPECT_EQ(b.peer.memory.ReadBlock(0, 1664), memory);
}

TEST(Sequencer, AStartWhileAnOperationRunsIsRefusedAndChangesNothing) {
    CloneBench b;
    b.peer.answerE8 = false;
    ASSERT_EQ(b.seq.easySendE8ReqAnswer("0B3146"), 0);
    ASSERT_TRUE(b.seq.OpRunning());
    b.seq.Operation(clsCmcCln3Sequence::kOpIdentify);
    EXPECT_EQ(b.seq.Operation(), clsCmcCln3Sequence::kOpE8) << "not replaced under its feet";
    EXPECT_EQ(b.seq.start(), 1);
    EXPECT_EQ(b.seq.easySendE8NoAnswer("053030"), 1);
    EXPECT_EQ(b.seq.easySendE8Frames({"053030"}), 1);
    EXPECT_EQ(b.seq.easyConfirmIdentity(), 1);
    EXPECT_EQ(b.seq.easyCloneRead(), 1);
    EXPECT_EQ(b.seq.easyCloneWrite(), 1);
    EXPECT_EQ(b.peer.frames.size(), 1u);
    // The operation on the line goes on as it was: it waits for its answer, resends, gives up.
    ASSERT_TRUE(b.runUntilIdle());
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0], kNoAnswer);
    EXPECT_EQ(std::count(b.peer.frames.begin(), b.peer.frames.end(), Hex("EEEFE8260101000B3146")),
              3);
}

TEST(Sequencer, StartWhileDriverBusyOnlyArms) {
    CloneBench b;
    b.com.comOpen(true);
    clsCmcCln3Drv& drv = b.line.cln3D();
    drv.workMode(5);
    drv.waitAnswer(true);
    drv.Send(Hex("E82601010003"));
    ASSERT_TRUE(drv.Running());
    b.seq.Operation(clsCmcCln3Sequence::kOpIdentify);
    EXPECT_EQ(b.seq.start(), 0);
    EXPECT_FALSE(b.seq.OpRunning());
    EXPECT_EQ(b.peer.frames.size(), 1u);
}

// Frames queued together go out in order after one identification: a wide level and the narrow
// level that follows it, with the port released in between.
TEST(Sequencer, QueuedFramesGoOutInOrderAfterOneIdentification) {
    CloneBench b;
    b.peer.serial = "AAAA1111";
    b.seq.comHoldReload(1000);
    ASSERT_EQ(b.seq.easyConfirmIdentity(), 0);
    ASSERT_TRUE(b.runUntilIdle());
    b.seq.bindIdentity(b.seq.ansInfo());
    while (b.com.comOpen())
        b.tick();
    EXPECT_FALSE(b.seq.identityConfirmed());

    const std::size_t before = b.peer.frames.size();
    ASSERT_EQ(b.seq.easySendE8Frames({"0A3830", "0B3631"}), 0);
    // A second sender in the same pass waits its turn.
    EXPECT_EQ(b.seq.easySendE8NoAnswer("053030"), 1);
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_TRUE(b.messages.empty());
    const std::vector<std::string> sent(b.peer.frames.begin() + static_cast<std::ptrdiff_t>(before),
                                        b.peer.frames.end());
    EXPECT_EQ(sent, (std::vector<std::string>{Hex("EEEFE026010000"), Hex("EEEFE8260101000A3830"),
                                              Hex("EEEFE8260101000B3631")}));
    EXPECT_EQ(b.seq.e8FramesSent(), 2u);
    EXPECT_TRUE(b.seq.identityConfirmed());
}

// What the sequencer knows of the radio on the line lasts as long as the line: any open, close,
// loss or other port, and a quiet spell before a frame that changes the radio, ask again.
struct LineChange {
    const char* name;
    std::function<void(CloneBench&)> change;
    bool identifiedAgain;
    // Only the line's changes undo the confirmation at once; a quiet spell is found by the
    // frame that follows it.
    bool lineChanged = identifiedAgain;
};

class ConfirmedIdentity : public ::testing::TestWithParam<LineChange> {};

TEST_P(ConfirmedIdentity, HoldsOnlyWhileTheLineIsTheSame) {
    CloneBench b;
    ASSERT_EQ(b.seq.easyConfirmIdentity(), 0);
    ASSERT_TRUE(b.runUntilIdle());
    b.seq.bindIdentity(b.seq.ansInfo());
    ASSERT_TRUE(b.seq.identityConfirmed());
    GetParam().change(b);
    EXPECT_EQ(b.seq.identityConfirmed(), !GetParam().lineChanged);

    const std::size_t before = b.peer.frames.size();
    b.seq.easySendE8NoAnswer("0B3146");
    ASSERT_TRUE(b.runUntilIdle());
    ASSERT_GT(b.peer.frames.size(), before);
    EXPECT_EQ(b.peer.frames[before] == Hex("EEEFE026010000"), GetParam().identifiedAgain);
    EXPECT_EQ(b.peer.frames.back(), Hex("EEEFE8260101000B3146"));
    EXPECT_TRUE(b.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Clone, ConfirmedIdentity,
                         ::testing::Values(LineChange{"Nothing", [](CloneBench&) {}, false},
                                           LineChange{"ShortPause",
                                                      [](CloneBench& b) {
                                                          for (int i = 0; i < 38; ++i)
                                                              b.tick();
                                                      },
                                                      false},
                                           LineChange{"QuietSpell",
                                                      [](CloneBench& b) {
                                                          for (int i = 0; i < 41; ++i)
                                                              b.tick();
                                                      },
                                                      true, false},
                                           LineChange{"CloseAndReopen",
                                                      [](CloneBench& b) {
                                                          b.com.comOpen(false);
                                                          b.com.comOpen(true);
                                                      },
                                                      true},
                                           LineChange{"AnotherPortAndBack",
                                                      [](CloneBench& b) {
                                                          b.com.comPortNum(2);
                                                          b.com.comPortNum(1);
                                                      },
                                                      true},
                                           LineChange{"ReleasedAndReopened",
                                                      [](CloneBench& b) {
                                                          b.seq.comHoldReload(100);
                                                          while (b.com.comOpen())
                                                              b.tick();
                                                          b.com.comOpen(true);
                                                      },
                                                      true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(Sequencer, ALostLineIsNoLongerTheConfirmedOne) {
    CloneBench b;
    ASSERT_EQ(b.seq.easyConfirmIdentity(), 0);
    ASSERT_TRUE(b.runUntilIdle());
    b.seq.bindIdentity(b.seq.ansInfo());
    b.port.loseDevice("Input/output error");
    EXPECT_FALSE(b.seq.identityConfirmed());
}

// A frame counts as sent once the port has handed all of it on with no fault; the next one
// waits for that. Lost while still in the port's buffer, it never reached the radio.
TEST(Sequencer, FramesSentCountsOnlyWholeFrames) {
    CloneBench b;
    b.port.autoDrain(false);
    ASSERT_EQ(b.seq.easySendE8Frames({"0A3830", "0B3631", "053030"}), 0);
    b.tick();
    EXPECT_TRUE(b.peer.frames.empty());
    EXPECT_TRUE(b.seq.OpRunning()) << "the second frame waits for the first";
    b.port.drain();
    b.seq.task();
    ASSERT_EQ(b.peer.frames.size(), 1u);
    EXPECT_EQ(b.seq.e8FramesSent(), 1u);
    b.port.loseDevice("Input/output error");
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.seq.e8FramesSent(), 1u);
    EXPECT_EQ(b.peer.frames.size(), 1u);
    ASSERT_EQ(b.messages.size(), 1u);

    // A port that takes nothing more ends the operation as one that cannot be reached.
    CloneBench c;
    c.port.autoDrain(false);
    ASSERT_EQ(c.seq.easySendE8Frames({"0A3830", "0B3631"}), 0);
    ASSERT_TRUE(c.runUntilIdle());
    EXPECT_EQ(c.seq.e8FramesSent(), 0u);
    ASSERT_EQ(c.messages.size(), 1u);
    EXPECT_EQ(c.messages[0].rfind("Cannot access COM port", 0), 0u) << c.messages[0];
}

// A live round's identification: the same radio confirms it, another ends it with one message.
TEST(Sequencer, ConfirmIdentityComparesTheWholeAnswer) {
    for (const char* serial : {"AAAA1111", "BBBB2222"}) {
        SCOPED_TRACE(serial);
        CloneBench b;
        b.peer.serial = "AAAA1111";
        ASSERT_EQ(b.seq.easyConfirmIdentity(), 0);
        ASSERT_TRUE(b.runUntilIdle());
        b.seq.bindIdentity(b.seq.ansInfo());
        b.peer.serial = serial;
        ASSERT_EQ(b.seq.easyConfirmIdentity(), 0);
        ASSERT_TRUE(b.runUntilIdle());
        const bool same = std::string(serial) == "AAAA1111";
        EXPECT_EQ(b.seq.identityConfirmed(), same);
        EXPECT_EQ(b.messages.size(), same ? 0u : 1u);
        if (!same) {
            EXPECT_EQ(b.messages[0].rfind("Another transceiver is on the cable.", 0), 0u);
        }
    }
}

// Each failure ends the operation with one message, the port closed and the system idle.
struct FailureCase {
    const char* name;
    std::function<void(CloneBench&)> arrange;
    bool write;  // clone write instead of clone read
    int16_t seqError;
    std::string message;
};

class SequencerFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SequencerFailure, ShowsItsMessage) {
    const FailureCase& c = GetParam();
    CloneBench b;
    c.arrange(b);
    if (c.write) {
        b.seq.easyCloneWrite();
    } else {
        b.seq.easyCloneRead();
    }
    ASSERT_TRUE(b.runUntilIdle());
    for (int i = 0; i < 40; ++i)
        b.tick();  // nothing is reported twice
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0], c.message);
    // The box came after the reset: the system behind it was idle and its fault cleared.
    EXPECT_EQ(b.atMessage[0].resets, 1);
    EXPECT_FALSE(b.atMessage[0].opRunning);
    EXPECT_FALSE(b.atMessage[0].totalError);
    EXPECT_EQ(static_cast<int16_t>(b.seq.error()), c.seqError);
    EXPECT_EQ(b.resets, 1);
    EXPECT_FALSE(b.com.comOpen());
    EXPECT_FALSE(b.line.totalError());
}

std::string CheckList3(const char* statement) {
    return Lines({statement, "", "Check the following:", "- The COM port settings.",
                  "- Cloning cable connections.", "- Transceiver power is ON."});
}

INSTANTIATE_TEST_SUITE_P(
    Clone, SequencerFailure,
    ::testing::Values(
        FailureCase{"BadChecksum",
                    [](CloneBench& b) {
                        b.peer.editBlock = [](int i, std::string block) {
                            if (i == 7) block.back() = block.back() == '0' ? '1' : '0';
                            return block;
                        };
                    },
                    false, 0, CheckList3("Illegal data.")},
        FailureCase{"CountMismatch", [](CloneBench& b) { b.peer.e5CountOffset = -1; }, false, 0,
                    CheckList3("Data counter error.")},
        FailureCase{"BlockOutsideImage",
                    [](CloneBench& b) {
                        b.peer.editBlock = [](int i, std::string block) {
                            if (i != 103) return block;
                            return ScriptedTransceiver::dataBlock(0x671, std::string(16, 'x'));
                        };
                    },
                    false, 0, CheckList3("Data overflow.")},
        FailureCase{"WriteRejected", [](CloneBench& b) { b.peer.e6Result = 0x01; }, true, 0,
                    Lines({"Cannot write cloning data.", "", "Check the following:",
                           "- Cloning cable connections.", "- Transceiver power is ON."})},
        FailureCase{"ModelMismatch",
                    [](CloneBench& b) { b.peer.model = std::string("\x26\x02", 2); }, false, 1,
                    CheckList3("Cannot Clone.")},
        FailureCase{"SubCodeRejected",
                    [](CloneBench& b) { b.peer.sub = std::string("\x09\x00", 2); }, true, 2,
                    Lines({"Version number does not match", "for this transceiver."})},
        FailureCase{
            "Byte43", [](CloneBench& b) { b.peer.byte43 = 0x04; }, false, 3,
            Lines({"Connected transceiver is not compatible model.", "", "Check the following:",
                   "- Appropriate cloning software for the transceiver is being used.",
                   "- The revision number of the transceiver."})},
        FailureCase{"BadIdentity",
                    [](CloneBench& b) {
                        b.peer.script = [](const std::string& body) -> std::optional<std::string> {
                            if (body[2] != '\xE0') return std::nullopt;
                            std::string id = ScriptedTransceiver{}.identity();
                            id[7] = 1;  // count byte disagrees with the length
                            return ScriptedTransceiver::frame(id);
                        };
                    },
                    false, 4, CheckList3("Illegal data.")},
        FailureCase{"CannotOpen",
                    [](CloneBench& b) {
                        b.seq.ComPortNo(3);
                        b.port.failOpen("Permission denied");
                    },
                    // The port fault ends the read before its identity is checked.
                    false, 0, CheckList3("Cannot access COM 3.")}),
    [](const ::testing::TestParamInfo<FailureCase>& p) { return std::string(p.param.name); });

TEST(Sequencer, IdentityCodesOverwriteInOrder) {
    // A rejected sub code wins over a model and byte 43 mismatch.
    CloneBench b;
    b.peer.model = std::string("\x26\x02", 2);
    b.peer.byte43 = 0x00;
    b.peer.sub = std::string("\x09\x00", 2);
    b.seq.easyCloneRead();
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.seq.error(), SequenceError::SubCode);
    // Model wrong and byte 43 wrong, sub code fine: 3.
    CloneBench c;
    c.peer.model = std::string("\x26\x02", 2);
    c.peer.byte43 = 0x00;
    c.seq.easyCloneRead();
    ASSERT_TRUE(c.runUntilIdle());
    EXPECT_EQ(c.seq.error(), SequenceError::Byte43);
}

TEST(Sequencer, CannotOpenNamesTheDevice) {
    CloneBench b;
    b.port.failOpen("Device or resource busy");
    b.seq.easySendE8NoAnswer("0B3146");
    EXPECT_TRUE(b.com.errCannotOpen());
    EXPECT_EQ(b.com.openErrorDevice(), "COM1");
    EXPECT_EQ(b.com.openErrorReason(), "Device or resource busy");
    b.runUntilIdle();
    b.tick();
    EXPECT_EQ(b.messages, std::vector<std::string>{CheckList3("Cannot access COM 1.")});
}

TEST(Sequencer, ReadInterruptedAfterTheSwitchSendsItAgain) {
    // A reset between the rate switch and the high-rate step (a fault, the user) must not
    // leave the next read believing the switch is already done.
    CloneBench b;
    b.seq.easyCloneRead();
    const std::string kSwitch = Hex("EEEFE826010100013046");
    while (b.peer.frames.empty() || b.peer.frames.back() != kSwitch)
        b.tick();
    b.seq.easyReset(1);
    b.peer.rate = 9600;  // the transceiver was switched off and on
    b.peer.frames.clear();
    b.seq.easyCloneRead();
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_TRUE(b.messages.empty()) << b.messages.front();
    ASSERT_EQ(b.peer.frames.size(), 3u);
    EXPECT_EQ(b.peer.frames[1], kSwitch);
}

namespace lost {

const std::string kLost =
    Lines({"Cannot access COM 1.", "", "Check the following:", "- The COM port settings.",
           "- Cloning cable connections.", "- Transceiver power is ON."});

// Where the device goes away: after the program's write that this predicate recognises.
struct CutCase {
    const char* name;
    bool cloneRead;  // else one E8 command
    std::function<bool(const ScriptedTransceiver::Write&)> after;
};

bool FrameOf(const ScriptedTransceiver::Write& w, uint8_t cmd) {
    return w.bytes.size() > 4 && w.bytes[0] == '\xFE' && static_cast<uint8_t>(w.bytes[4]) == cmd;
}

class LostDevice : public ::testing::TestWithParam<CutCase> {};

TEST_P(LostDevice, EndsTheOperationWithItsMessageAndNothingMoreIsSent) {
    const CutCase& c = GetParam();
    CloneBench b;
    b.peer.cutWhen = c.after;
    if (c.cloneRead) {
        b.seq.easyCloneRead();
    } else {
        b.seq.easySendE8NoAnswer("0B3146");
    }
    ASSERT_TRUE(b.runUntilIdle());
    for (int i = 0; i < 10; ++i)
        b.tick();

    ASSERT_TRUE(b.peer.cutAfter) << "the cut point was never reached";
    EXPECT_EQ(b.messages, std::vector<std::string>{kLost});
    // Nothing but the one write that found the line dead.
    EXPECT_LE(b.peer.writesAfterCut, 1u);
    EXPECT_FALSE(b.com.comOpen());
    EXPECT_FALSE(b.seq.cloneReadVerified());
    EXPECT_FALSE(b.line.totalError());

    // With the device back, a plain read works.
    b.restoreLine();
    b.seq.easyCloneRead();
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.messages.size(), 1u);
    EXPECT_TRUE(b.seq.cloneReadVerified());
}

INSTANTIATE_TEST_SUITE_P(
    Clone, LostDevice,
    ::testing::Values(CutCase{"Identify", true, [](const auto& w) { return FrameOf(w, 0xE0); }},
                      CutCase{"RateSwitch", true, [](const auto& w) { return FrameOf(w, 0xE8); }},
                      CutCase{"HighSpeedPreamble", true,
                              [](const auto& w) { return w.baud == 38400 && w.bytes == Fe(39); }},
                      CutCase{"Read", true, [](const auto& w) { return FrameOf(w, 0xE2); }},
                      CutCase{"ClosingPreamble", true,
                              [](const auto& w) { return w.baud == 9600 && w.bytes == Fe(11); }},
                      CutCase{"Adjustment", false, [](const auto& w) { return FrameOf(w, 0xE8); }}),
    [](const ::testing::TestParamInfo<CutCase>& p) { return std::string(p.param.name); });

TEST(Sequencer, ALostLineEndsTheWaitForAnAnswerAtOnce) {
    CloneBench b;
    b.peer.cutWhen = [](const auto& w) { return FrameOf(w, 0xE2); };
    b.seq.easyCloneRead();
    for (int i = 0; i < 100 && !b.writesAfterCutAtLoss; ++i)
        b.tick();
    ASSERT_TRUE(b.writesAfterCutAtLoss);
    // The tick that learnt of the loss ended the read; it did not wait out the answer time.
    EXPECT_FALSE(b.seq.OpRunning());
    EXPECT_EQ(b.messages, std::vector<std::string>{kLost});
}

TEST(Sequencer, AnOverflowInTheReadIsReportedNotClearedByItsNextStep) {
    CloneBench b;
    b.peer.script = [](const std::string& body) -> std::optional<std::string> {
        if (static_cast<uint8_t>(body[2]) == 0xE2) return std::string(40000, '\x55');
        return std::nullopt;
    };
    b.seq.easyCloneRead();
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.messages,
              std::vector<std::string>{Lines(
                  {"COM buffer overflow.", "", "Check the following:", "- The COM port settings.",
                   "- Cloning cable connections.", "- Transceiver power is ON."})});
    EXPECT_FALSE(b.seq.cloneReadVerified());
}

TEST(Sequencer, ReadIsVerifiedOnlyWithEveryBlockOfThisRead) {
    struct Case {
        const char* name;
        std::function<void(CloneBench&)> arrange;
        bool verified;
    } cases[] = {
        {"whole image", [](CloneBench&) {}, true},
        // The count still matches: only the addresses show that block 5 never came.
        {"one block twice, another missing",
         [](CloneBench& b) {
             b.peer.editBlock = [&b](int i, std::string block) {
                 return i == 5 ? ScriptedTransceiver::dataBlock(64, b.peer.memory.ReadBlock(64, 16))
                               : std::move(block);
             };
         },
         false},
    };
    for (const auto& c : cases) {
        CloneBench b;
        c.arrange(b);
        b.seq.easyCloneRead();
        ASSERT_TRUE(b.runUntilIdle()) << c.name;
        EXPECT_TRUE(b.messages.empty()) << c.name;
        EXPECT_EQ(b.seq.cloneReadVerified(), c.verified) << c.name;
    }
}

TEST(Sequencer, AnEarlierVerifiedReadDoesNotVouchForTheNextOne) {
    CloneBench b;
    b.seq.easyCloneRead();
    ASSERT_TRUE(b.runUntilIdle());
    ASSERT_TRUE(b.seq.cloneReadVerified());
    b.peer.script = [](const std::string& body) -> std::optional<std::string> {
        if (static_cast<uint8_t>(body[2]) == 0xE0) return std::string();  // silent
        return std::nullopt;
    };
    b.seq.easyCloneRead();
    EXPECT_FALSE(b.seq.cloneReadVerified());
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.messages, std::vector<std::string>{kNoAnswer});
    EXPECT_FALSE(b.seq.cloneReadVerified());
}

}  // namespace lost

}  // namespace
}  // namespace calvex
