#include "clone/clsCmcCln3Drv.h"

#include <gtest/gtest.h>

#include "base/Common.h"
#include "clone/ScriptedTransceiver.h"
#include "link/FakeTickSource.h"
#include "link/LoopbackSerialControl.h"

namespace calvex {
namespace {

using testing::FakeTickSource;
using testing::ScriptedTransceiver;

std::string Hex(const std::string& text) {
    return HexStrToByteStr(text);
}
std::string Frame(const std::string& body) {
    return ScriptedTransceiver::frame(body);
}

// A peer that only listens: the tests hand the driver what "arrives".
class SilentPeer : public ISerialPeer {
  public:
    std::vector<std::string> writes;
    void fromComputer(const std::string& bytes, int32_t) override { writes.push_back(bytes); }
    std::string toComputer() override { return {}; }
};

class Driver : public ::testing::Test {
  protected:
    Driver() {
        port.InBufferSize(32760);
        port.OutBufferSize(1024);
        port.PortOpen(true);
        drv.myObjCom(&port);
        drv.myEep(eep);
    }
    // Starts an exchange in the given mode with an opening frame.
    void start(int16_t mode, const std::string& data = Hex("E026010000")) {
        drv.workMode(mode);
        ASSERT_EQ(drv.Send(data), 0);
    }
    void advance(int32_t ms) {
        for (int32_t t = 0; t < ms; t += 50) {
            clock.advance(50);
            drv.task();
        }
    }

    FakeTickSource clock{500};
    SilentPeer peer;
    LoopbackSerialControl port{peer};
    clsCmcEeprom eep;
    clsCmcCln3Drv drv{clock};
};

TEST_F(Driver, SendRefusals) {
    start(1);
    EXPECT_TRUE(drv.Running());
    EXPECT_EQ(drv.Send(Hex("E026010000")), 1);  // an exchange is waiting
    EXPECT_TRUE(drv.Running());
    EXPECT_EQ(peer.writes.size(), 1u);

    drv.Reset();
    port.PortOpen(false);
    EXPECT_EQ(drv.Send(Hex("E026010000")), 1);  // port closed
}

TEST_F(Driver, TransmitBufferRoom) {
    port.autoDrain(false);
    drv.workMode(5);
    port.Output(std::string(768, 'x'));  // 256 free
    EXPECT_EQ(drv.Send(Hex("E8260101000B3146")), 1);
    port.OutBufferCount(0);
    port.Output(std::string(767, 'x'));  // 257 free
    EXPECT_EQ(drv.Send(Hex("E8260101000B3146")), 0);
}

TEST_F(Driver, FrameSplitAnywhereIsOneFrame) {
    const std::string body = ScriptedTransceiver{}.identity();
    const std::string wire = Hex("FEFEFE") + Frame(body);
    for (std::size_t i = 1; i < wire.size(); ++i) {
        for (std::size_t j = i; j < wire.size(); ++j) {
            drv.Reset();
            start(1);
            drv.read(wire.substr(0, i));
            drv.read(wire.substr(i, j - i));
            drv.read(wire.substr(j));
            ASSERT_FALSE(drv.Running()) << i << "," << j;
            ASSERT_EQ(drv.ansInfo(), body);
            ASSERT_EQ(drv.nowError(), DriverError::None);
        }
    }
}

TEST_F(Driver, EchoIsIgnoredAndTheWaitGoesOn) {
    start(1);
    drv.read(peer.writes[0]);
    EXPECT_TRUE(drv.Running());
    drv.read(Frame(ScriptedTransceiver{}.identity()));
    EXPECT_FALSE(drv.Running());
    EXPECT_EQ(drv.nowError(), DriverError::None);
}

TEST_F(Driver, TailOfAMissedFrameDiscardsTheWholeChunk) {
    start(1);
    drv.read(Hex("3031FD") + Frame(ScriptedTransceiver{}.identity()));
    EXPECT_TRUE(drv.Running());
    EXPECT_EQ(drv.ansInfo(), "");
}

TEST_F(Driver, LongBodyKeepsItsLast256Bytes) {
    start(1);
    drv.read(Hex("FE") + std::string(300, '\x41') + Hex("FD"));
    EXPECT_EQ(drv.varLastE8Answer(), std::string(256, '\x41'));
    EXPECT_TRUE(drv.Running());
}

TEST_F(Driver, ResendsThenGivesUp) {
    drv.workMode(5);
    drv.waitAnswer(true);
    drv.retryCount(2);
    ASSERT_EQ(drv.Send(Hex("E8260101000B3146")), 0);
    advance(1150);
    EXPECT_EQ(peer.writes.size(), 1u);
    advance(50);
    EXPECT_EQ(peer.writes.size(), 2u);
    advance(1200);
    EXPECT_EQ(peer.writes.size(), 3u);
    EXPECT_EQ(drv.nowError(), DriverError::None);
    advance(1200);
    EXPECT_EQ(peer.writes.size(), 3u);
    EXPECT_EQ(drv.nowError(), DriverError::NoAnswer);
    EXPECT_EQ(drv.lastError(), DriverError::NoAnswer);
    EXPECT_FALSE(drv.Running());
    EXPECT_EQ(peer.writes[0], peer.writes[2]);
}

TEST_F(Driver, AResendCountServesOneExchangeOnly) {
    // An adjustment command that was allowed two resends is answered ...
    drv.workMode(5);
    drv.waitAnswer(true);
    drv.retryCount(2);
    ASSERT_EQ(drv.Send(Hex("E8260101000B3146")), 0);
    drv.read(Frame(Hex("EFEEE8260101000B3041")));
    ASSERT_FALSE(drv.Running());
    EXPECT_EQ(drv.retryCount(), 0);
    // ... so the identification after it, for which none was set, goes out once.
    peer.writes.clear();
    start(1);
    advance(3 * 1200);
    EXPECT_EQ(peer.writes.size(), 1u);
    EXPECT_EQ(drv.nowError(), DriverError::NoAnswer);
}

TEST_F(Driver, EveryDataBlockRestartsTheAnswerTimeOut) {
    start(2, Hex("E226010100"));
    for (int32_t adr = 0; adr < 5 * 16; adr += 16) {
        advance(1000);
        drv.read(Frame(ScriptedTransceiver::dataBlock(adr, std::string(16, 'z'))));
        ASSERT_TRUE(drv.Running()) << adr;
    }
    advance(1150);
    EXPECT_TRUE(drv.Running());
    EXPECT_EQ(drv.nowError(), DriverError::None);
    advance(50);
    EXPECT_FALSE(drv.Running());
    EXPECT_EQ(drv.nowError(), DriverError::NoAnswer);
    EXPECT_EQ(drv.lastEeAdr(), 79);
}

TEST_F(Driver, ChoosingAWorkModeForgetsTheLastAnswerAndAddress) {
    for (int16_t mode = 0; mode <= 5; ++mode) {
        SCOPED_TRACE(mode);
        drv.Reset();
        drv.workMode(5);
        drv.waitAnswer(true);
        ASSERT_EQ(drv.Send(Hex("E8260101000B3146")), 0);
        drv.read(Frame(Hex("EFEEE8260101000B3041")));
        ASSERT_EQ(drv.varLastE8Answer(), Hex("260101000B3041"));
        drv.workMode(mode);
        EXPECT_EQ(drv.varLastE8Answer(), "");

        drv.Reset();
        start(2, Hex("E226010100"));
        drv.read(Frame(ScriptedTransceiver::dataBlock(0x10, "ab")));
        ASSERT_EQ(drv.lastEeAdr(), 0x11);
        drv.workMode(mode);
        EXPECT_EQ(drv.lastEeAdr(), 0);
        EXPECT_EQ(drv.waitAnswer(), mode == 1 || mode == 2 || mode == 4);
    }
}

TEST_F(Driver, AfterSendFeTransmitIsRefusedUntilReset) {
    drv.SendFE(11);
    EXPECT_EQ(peer.writes.back(), std::string(11, '\xFE'));
    drv.workMode(5);
    EXPECT_EQ(drv.Send(Hex("E8260101000B3146")), 1);
    drv.Reset();
    EXPECT_EQ(drv.Send(Hex("E8260101000B3146")), 0);
}

// Content rules, one received body each, with the outcome they must have.
struct AnswerCase {
    const char* name;
    int16_t mode;
    std::string body;
    int16_t error;  // -1: still waiting, 0: accepted
};

class DriverAnswer : public Driver, public ::testing::WithParamInterface<AnswerCase> {};

std::string IdBody(const std::string& idHex, std::size_t length = 50) {
    std::string body = Hex("EFEEE1") + Hex(idHex);
    body.push_back(static_cast<char>(length - 7));
    body.resize(length, '\0');
    return body;
}

std::string E4(const std::string& payloadHex) {
    return Hex("EFEEE4") + payloadHex;
}

TEST_P(DriverAnswer, Outcome) {
    const AnswerCase& c = GetParam();
    start(c.mode, c.mode == 5 ? Hex("E8260101000B3146") : Hex("E026010000"));
    if (c.mode == 5) {
        // The E8 answer is only waited for when asked.
        drv.Reset();
        drv.workMode(5);
        drv.waitAnswer(true);
        ASSERT_EQ(drv.Send(Hex("E8260101000B3146")), 0);
    }
    drv.read(Frame(c.body));
    if (c.error < 0) {
        EXPECT_TRUE(drv.Running());
        EXPECT_EQ(drv.nowError(), DriverError::None);
    } else {
        EXPECT_FALSE(drv.Running());
        EXPECT_EQ(static_cast<int16_t>(drv.nowError()), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DriverAnswer,
    ::testing::Values(AnswerCase{"E1Good", 1, IdBody("26010100"), 0},
                      AnswerCase{"E1ExponentD", 1, IdBody("2601D100"), 0},
                      AnswerCase{"E1ExponentE", 1, IdBody("2601E100"), 0},
                      AnswerCase{"E1HexLetter", 1, IdBody("2601A100"), 3},
                      AnswerCase{"E1LeadingExponent", 1, IdBody("E6010100"), 3},
                      AnswerCase{"E1TrailingExponent", 1, IdBody("2601010E"), 3},
                      AnswerCase{"E1TwoExponents", 1, IdBody("26E1E100"), 3},
                      AnswerCase{"E1ExponentTooLarge", 1, IdBody("9E999999"), 3},
                      AnswerCase{"E1Of59", 1, IdBody("26010100", 59), 0},
                      AnswerCase{"E1Of60", 1, IdBody("26010100", 60), 3},
                      AnswerCase{"E1CountWrong", 1, Hex("EFEEE126010100") + Hex("0500"), 3},
                      AnswerCase{"E1WithoutCount", 1, Hex("EFEEE126010100"), 3},
                      AnswerCase{"E1TooShort", 1, Hex("EFEEE1260101"), 3},
                      AnswerCase{"E1OtherAddress", 1, Hex("EFEFE126010100") + Hex("01"), -1},
                      AnswerCase{"E4InIdentify", 1, E4("0000010AF5"), -1},
                      AnswerCase{"E4Of13", 2, E4("0000010AF5"), -1},
                      AnswerCase{"E4Of12", 2, E4("0000010AF"), 3},
                      AnswerCase{"E4Of14", 2, E4("0000010AF5F"), 3},
                      AnswerCase{"E4Checksum", 2, E4("0000010AF6"), 3},
                      AnswerCase{"E4NotHex", 2, E4("0000010AG5"), 3},
                      AnswerCase{"E4CountDisagrees", 2, E4("0000020AF4"), 3},
                      AnswerCase{"E1InRead", 2, IdBody("26010100"), -1},
                      AnswerCase{"E5NoBlocks", 2, Hex("EFEEE55661726E20496E632E") + "00", 0},
                      AnswerCase{"E5Signature", 2, Hex("EFEEE55661726E20496E632F") + "00", 3},
                      AnswerCase{"E5Count", 2, Hex("EFEEE55661726E20496E632E") + "01", 4},
                      AnswerCase{"E6Good", 4, Hex("EFEEE600"), 0},
                      AnswerCase{"E6Failed", 4, Hex("EFEEE601"), 7},
                      AnswerCase{"E6WithoutResult", 4, Hex("EFEEE6"), 7},
                      AnswerCase{"E8Good", 5, Hex("EFEEE8260101000B3041"), 0},
                      AnswerCase{"E8WrongKey", 5, Hex("EFEEE8260101000C3041"), 3},
                      AnswerCase{"E8HexLetter", 5, Hex("EFEEE82601A1000B3041"), 3},
                      AnswerCase{"E8ExponentD", 5, Hex("EFEEE82601D1000B3041"), 0},
                      AnswerCase{"E8Short", 5, Hex("EFEEE826010100"), 3}),
    [](const ::testing::TestParamInfo<AnswerCase>& p) { return std::string(p.param.name); });

TEST_F(Driver, CloneReadStoresBlocksAndChecksTheCount) {
    start(2, Hex("E226010100"));
    for (int32_t adr = 0; adr < 1664; adr += 16) {
        drv.read(Frame(
            ScriptedTransceiver::dataBlock(adr, std::string(16, static_cast<char>(adr >> 4)))));
    }
    EXPECT_EQ(drv.lastEeAdr(), 1663);
    EXPECT_EQ(eep.ReadByte(0x670), 0x67);
    drv.read(Frame(ScriptedTransceiver::closing(103)));
    EXPECT_EQ(drv.nowError(), DriverError::DataCounter);
    EXPECT_TRUE(drv.cntMismatch());

    // The next read counts from its identification.
    drv.Reset();
    start(1);
    drv.read(Frame(ScriptedTransceiver{}.identity()));
    start(2, Hex("E226010100"));
    drv.read(Frame(ScriptedTransceiver::dataBlock(0, "ab")));
    drv.read(Frame(ScriptedTransceiver::closing(1)));
    EXPECT_EQ(drv.nowError(), DriverError::None);
    EXPECT_FALSE(drv.Running());
}

// After a read whose closing count was wrong, a later read's closing frame that is bad in
// another way is illegal data, not a count error: the mismatch is forgotten when the next
// exchange starts.
struct LaterClosingCase {
    const char* name;
    bool identifyBetween;
    std::string body;
};

void PrintTo(const LaterClosingCase& c, std::ostream* os) {
    *os << c.name;
}

class DriverLaterClosing : public Driver, public ::testing::WithParamInterface<LaterClosingCase> {};

TEST_P(DriverLaterClosing, IsIllegalData) {
    const LaterClosingCase& c = GetParam();
    start(2, Hex("E226010100"));
    drv.read(Frame(ScriptedTransceiver::closing(1)));
    ASSERT_EQ(drv.nowError(), DriverError::DataCounter);
    ASSERT_TRUE(drv.cntMismatch());

    drv.Reset();
    if (c.identifyBetween) {
        start(1);
        drv.read(Frame(ScriptedTransceiver{}.identity()));
        ASSERT_EQ(drv.nowError(), DriverError::None);
    }
    start(2, Hex("E226010100"));
    EXPECT_FALSE(drv.cntMismatch());
    drv.read(Frame(c.body));
    EXPECT_FALSE(drv.Running());
    EXPECT_EQ(drv.nowError(), DriverError::IllegalData);
    EXPECT_EQ(drv.lastError(), DriverError::IllegalData);
    EXPECT_FALSE(drv.cntMismatch());
}

INSTANTIATE_TEST_SUITE_P(
    Reads, DriverLaterClosing,
    ::testing::Values(LaterClosingCase{"Junk", false, Hex("EFEEE5") + "junk"},
                      LaterClosingCase{"Signature", false, Hex("EFEEE55661726E20496E632F") + "00"},
                      LaterClosingCase{"CountNotHex", true, Hex("EFEEE55661726E20496E632E") + "0G"},
                      LaterClosingCase{"NoCount", true, Hex("EFEEE55661726E20496E632E")}),
    [](const ::testing::TestParamInfo<LaterClosingCase>& p) { return std::string(p.param.name); });

TEST_F(Driver, BlocksOutsideTheImageAreRefused) {
    start(2, Hex("E226010100"));
    drv.read(Frame(ScriptedTransceiver::dataBlock(0x670, std::string(16, 'x'))));
    EXPECT_EQ(drv.nowError(), DriverError::None);
    EXPECT_EQ(eep.ReadByte(1663), 'x');
    drv.read(Frame(ScriptedTransceiver::dataBlock(0x671, std::string(16, 'y'))));
    EXPECT_EQ(drv.nowError(), DriverError::DataOverflow);
    EXPECT_EQ(eep.ReadBlock(1664, 1), std::string(1, '\0'));  // the spare byte is untouched
}

TEST_F(Driver, CloneWriteSplitsRanges) {
    for (int32_t a = 0; a < 1664; ++a)
        eep.WriteByte(a, static_cast<uint8_t>(a));
    drv.workMode(3);
    drv.sizDataOfPacket(16);
    drv.cloneWriteAdrList("0010-0023,0100-0101,");
    ASSERT_EQ(drv.Send(Hex("E326010100")), 0);
    ASSERT_EQ(peer.writes.size(), 5u);
    auto block = [&](std::size_t i) {
        return HexStrToByteStr(peer.writes[i].substr(5, peer.writes[i].size() - 6));
    };
    EXPECT_EQ(block(1).substr(0, 3), Hex("001010"));
    EXPECT_EQ(block(2).substr(0, 3), Hex("002004"));
    EXPECT_EQ(block(2).substr(3, 4), Hex("20212223"));
    EXPECT_EQ(block(3).substr(0, 5), Hex("0100020001"));
    EXPECT_EQ(peer.writes[4], Hex("FEFEEEEFE5") + clsCmcCln3Drv::signature() + Hex("FD"));
    EXPECT_TRUE(drv.Running());
    EXPECT_EQ(drv.workMode(), 4);
    EXPECT_EQ(drv.lastEeAdr(), 0);
    drv.read(Frame(Hex("EFEEE600")));
    EXPECT_FALSE(drv.Running());
    EXPECT_EQ(drv.nowError(), DriverError::None);
}

TEST_F(Driver, CloneWriteIntoAFullBufferIsRefused) {
    port.autoDrain(false);  // a line that takes nothing
    drv.workMode(3);
    drv.sizDataOfPacket(16);
    drv.cloneWriteAdrList("0000-067F,");
    EXPECT_EQ(drv.Send(Hex("E326010100")), 0);
    EXPECT_EQ(drv.nowError(), DriverError::WriteRefused);
    EXPECT_FALSE(drv.Running());
    EXPECT_LE(port.OutBufferCount(), 1024);
}

}  // namespace
}  // namespace calvex
