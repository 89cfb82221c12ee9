// Line cuts armed at points of an exchange (Transceiver::cutAt / takeCut).

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "model/BuiltInImage.h"
#include "model/CutPoint.h"
#include "model/Transceiver.h"
#include "sim/SimFrames.h"

using namespace simtest;
using velka::CutPoint;
using velka::Transceiver;

namespace {

constexpr int kBlocks = 104;

std::string preambleRun() {
    return std::string(8, '\xFE');
}

class LineCutTest : public ::testing::Test {
  protected:
    // Sends bytes at now and returns what reached the computer in the next waitMs, polled in
    // 10 ms steps as a port would be; stops early when a cut is taken (cutTaken tells).
    std::string send(const std::string& frames, int32_t baud = 9600, int64_t waitMs = 10000) {
        radio.fromComputer(frames, baud, now);
        std::string out;
        for (const int64_t end = now + waitMs; now < end;) {
            out += radio.toComputer(now);
            if (radio.takeCut(now)) {
                ++cutsTaken;
                return out;
            }
            now += 10;
        }
        out += radio.toComputer(now);
        return out;
    }
    // The radio's frames in what came back for a request (its echo skipped).
    std::vector<std::string> answers(const std::string& frames, int32_t baud = 9600) {
        const std::string out = send(frames, baud);
        return radioFrames(out.substr(std::min(out.size(), frames.size())));
    }
    void expectFullCloneRead(const std::string& image) {
        const auto frames = answers(request(0xE2, kIdentity));
        ASSERT_EQ(frames.size(), static_cast<size_t>(kBlocks + 1));
        EXPECT_EQ(at(frames.back(), 3), 0xE5);
        std::string got;
        for (int i = 0; i < kBlocks; ++i) {
            const std::string text = frames[static_cast<size_t>(i)].substr(3);
            for (int k = 0; k < 16; ++k) {
                got += static_cast<char>(hexValue(text, 6 + 2 * static_cast<size_t>(k)));
            }
        }
        EXPECT_TRUE(got == image) << "the clone read carries the image";
    }

    Transceiver radio;
    int64_t now = 1000;
    int cutsTaken = 0;
};

struct CutCase {
    const char* name;
    CutPoint point;
    std::string before;    // frames that lead up to the point without reaching it
    std::string cutBytes;  // the bytes that reach it
    int32_t cutBaud = 9600;
    size_t framesBeforeCut = 0;  // answer frames that go out before the line drops
};

void PrintTo(const CutCase& c, std::ostream* os) {
    *os << c.name;
}

class CutPointTest : public LineCutTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(CutPointTest, DropsTheLineBeforeTheRadioActsAndServesAFreshExchangeAfterwards) {
    const CutCase& c = GetParam();
    radio.cutAt(c.point);
    send(c.before);
    ASSERT_EQ(cutsTaken, 0) << "the lead-up does not reach the point";
    const std::string image = radio.image();
    size_t framesSent = 0;
    radio.trace([&](int64_t, Transceiver::TraceKind kind, const std::string&) {
        framesSent += kind == Transceiver::TraceKind::Sent ? 1 : 0;
    });

    radio.fromComputer(c.cutBytes, c.cutBaud, now);
    EXPECT_EQ(framesSent, c.framesBeforeCut) << "the radio does not answer the frame cut";
    ASSERT_TRUE(radio.cutDueMs().has_value()) << "the point was reached";
    std::string out;
    while (now < *radio.cutDueMs()) {
        out += radio.toComputer(now);
        now += 10;
    }
    out += radio.toComputer(now + 10000);
    const auto frames = radioFrames(out.substr(std::min(out.size(), c.cutBytes.size())));
    EXPECT_EQ(frames.size(), c.framesBeforeCut) << "no answer to the frame that was cut";
    if (!frames.empty()) {
        EXPECT_EQ(at(frames.back(), 3), 0xE4) << "a clone read cut half-way has no E5";
    }
    EXPECT_TRUE(radio.image() == image) << "the image is as before the cut";

    // Until the cut is taken the line is dead: the radio hears nothing, the cable echoes nothing.
    radio.fromComputer(identify() + adjust(5, 0x01), 9600, now);
    EXPECT_EQ(radio.toComputer(now + 1000), "");

    EXPECT_TRUE(radio.takeCut(now));
    ASSERT_TRUE(radio.lastCut().has_value());
    EXPECT_EQ(radio.lastCut()->point, c.point);
    EXPECT_FALSE(radio.takeCut(now + 1000)) << "reported once";
    EXPECT_EQ(radio.cutsArmed(), 0);
    EXPECT_FALSE(radio.cutDueMs().has_value());
    EXPECT_TRUE(radio.image() == image) << "nothing was heard while the line was down";

    // A fresh exchange at 9600 is served normally.
    now += 1000;
    const auto e1 = answers(identify());
    ASSERT_EQ(e1.size(), 1u);
    EXPECT_EQ(at(e1[0], 3), 0xE1);
    expectFullCloneRead(image);
    EXPECT_EQ(cutsTaken, 0) << "one cut per arming";
}

const std::string kCloneRead = request(0xE2, kIdentity);

// A whole clone write of an image of 11s.
std::string cloneWriteOf11() {
    std::string out = request(0xE3, kIdentity);
    for (int adr = 0; adr < 1664; adr += 16)
        out += writeBlock(adr, std::string(16, '\x11'));
    return out + request(0xE5, kSignature);
}

INSTANTIATE_TEST_SUITE_P(
    Points, CutPointTest,
    ::testing::Values(
        CutCase{"identify", CutPoint::Identify, adjust(3, 0), identify()},
        CutCase{"rate_switch", CutPoint::RateSwitch, identify() + adjust(3, 0), adjust(1, 0x0F)},
        CutCase{"read", CutPoint::Read, identify(), kCloneRead, 9600, 52},
        CutCase{"read_at_38400", CutPoint::Read, adjust(1, 0x0F), kCloneRead, 38400, 52},
        CutCase{"preamble", CutPoint::Preamble, identify() + kCloneRead,
                preambleRun() + identify()},
        CutCase{"preamble_of_a_frame", CutPoint::Preamble, kCloneRead, adjust(5, 0xC8)},
        CutCase{"adjust", CutPoint::Adjust,
                adjust(3, 4) + adjust(0, 2) + adjust(2, 1) + adjust(1, 0x00) + adjust(0x10, 1),
                adjust(5, 0xC8)},
        CutCase{"adjust_oscillator", CutPoint::Adjust, adjust(3, 12), adjust(0x14, 0x05)},
        CutCase{"adjust_rssi", CutPoint::Adjust, identify(), adjust(0x13, 0x90)},
        CutCase{"reading", CutPoint::Reading, adjust(5, 0xC8) + adjust(0x0C, 0xF0), adjust(3, 0)},
        CutCase{"procedure_oscillator", CutPoint::Procedure,
                adjust(4, 0x33) + adjust(0x11, 0x1F) + adjust(3, 12), adjust(0x3B, 0x11)},
        CutCase{"procedure_filter", CutPoint::Procedure, adjust(5, 0xC8) + adjust(3, 4),
                adjust(0x0D, 0x7F)},
        CutCase{"write", CutPoint::Write, identify(), cloneWriteOf11()}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(LineCutTest, PointNamesRoundTrip) {
    const auto points = velka::allCutPoints();
    EXPECT_EQ(points.size(), 8u);
    for (CutPoint p : points) {
        EXPECT_EQ(velka::cutPointFromName(velka::cutPointName(p)), p);
    }
    EXPECT_EQ(velka::cutPointName(CutPoint::RateSwitch), "rate-switch");
    EXPECT_FALSE(velka::cutPointFromName("hangup").has_value());
    EXPECT_THROW(radio.cutAt(CutPoint::Read, 0), std::invalid_argument);
}

TEST_F(LineCutTest, OccurrenceCountsFramesThatReachThePoint) {
    radio.cutAt(CutPoint::Adjust, 3);
    send(adjust(5, 0x11) + adjust(3, 0) + adjust(0x14, 0x22));
    EXPECT_EQ(cutsTaken, 0);
    EXPECT_EQ(radio.imageByte(79), 0x11);
    EXPECT_EQ(radio.imageByte(216), 0x22);
    send(adjust(6, 0x33) + adjust(7, 0x44));
    EXPECT_EQ(cutsTaken, 1);
    EXPECT_EQ(radio.imageByte(78), 120) << "the third adjustment was cut";
    EXPECT_EQ(radio.imageByte(77), 56) << "and what followed it on the line was lost";
}

TEST_F(LineCutTest, CutsArmedTogetherFireInArmingOrderEachOnItsOwnFrame) {
    radio.cutAt(CutPoint::Identify);     // 0
    radio.cutAt(CutPoint::Identify, 2);  // 1: does not count the frame cut 0 takes
    radio.cutAt(CutPoint::Identify);     // 2
    std::vector<int> fired;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(answers(identify()).empty()) << "identification " << i;
        ASSERT_EQ(cutsTaken, i + 1);
        fired.push_back(radio.lastCut()->number);
    }
    EXPECT_EQ(fired, (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(answers(identify()).size(), 1u) << "every cut armed has happened";
}

TEST_F(LineCutTest, PreambleIsTheFirstFeAfterACloneReadBeforeAnyOtherFrame) {
    radio.cutAt(CutPoint::Preamble);
    // A frame heard while the read is still going out comes first: no preamble this time.
    EXPECT_EQ(answers(kCloneRead + identify()).size(), static_cast<size_t>(kBlocks + 2));
    EXPECT_EQ(answers(preambleRun() + identify()).size(), 1u);
    EXPECT_EQ(answers(adjust(3, 0)).size(), 1u);
    EXPECT_EQ(cutsTaken, 0);
    // The FE that begins the next frame after a clone read is its preamble.
    EXPECT_EQ(answers(kCloneRead).size(), static_cast<size_t>(kBlocks + 1));
    EXPECT_TRUE(answers(identify()).empty());
    EXPECT_EQ(cutsTaken, 1);
}

TEST_F(LineCutTest, AnswersStillGoingOutAreLostAtTheCut) {
    radio.cutAt(CutPoint::Identify);
    radio.fromComputer(kCloneRead, 9600, now);
    std::string out = radio.toComputer(now + 500);
    radio.fromComputer(identify(), 9600, now + 500);
    out += radio.toComputer(now + 500);  // up to the cut
    EXPECT_FALSE(radio.nextOutputMs().has_value()) << "nothing more is on its way";
    out += radio.toComputer(now + 10000);
    const auto frames = radioFrames(out);
    ASSERT_FALSE(frames.empty());
    EXPECT_LT(frames.size(), 20u);
    EXPECT_EQ(at(frames.back(), 3), 0xE4);
    EXPECT_TRUE(radio.takeCut(now + 10000));
}

TEST_F(LineCutTest, ReadCutOfAClosedExchangeStaysArmed) {
    radio.cutAt(CutPoint::Read);
    radio.fromComputer(kCloneRead, 9600, now);
    now += 500;  // a few blocks out, far from the half-way block
    radio.toComputer(now);
    radio.lineCut(now);
    EXPECT_FALSE(radio.takeCut(now + 10000));
    EXPECT_EQ(radio.cutsArmed(), 1);
    now += 10000;
    EXPECT_EQ(answers(kCloneRead).size(), 52u) << "the next clone read is cut";
    EXPECT_EQ(cutsTaken, 1);
}

}  // namespace
