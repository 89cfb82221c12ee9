// Every frame on the wire, both ways and in order, for each main flow of the program against the
// simulated transceiver, compared byte for byte with a recording made from code known to be
// right (tests/rig/recorded/<flow>.frames). It guards restructurings of the transceiver class and
// the core: a frame changed by one byte, moved, added or missing fails it, and the failure shows
// the first line that differs with the lines before it.
//
// A line is one frame: '>' the program sent it, '<' it reached the program (the cable echoes
// every frame sent), then the frame's bytes in hex. The clock is the bench's fake one, 50 ms a
// tick; the radio holds its built-in image and serial; nothing of time, dates or places is
// recorded.
//
// Only when the frames are meant to change, record them anew and review the difference:
//   CALVEX_RECORD_FLOWS=1 build/bin/test_rig --gtest_filter='Rig/RecordedFlows.*'
//   git diff tests/rig/recorded/
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/Common.h"
#include "clone/FrameText.h"
#include "rig/FlowBench.h"
#include "rig/VelkaCommands.h"

#ifndef CALVEX_RECORDED_FLOWS_DIR
#error "CALVEX_RECORDED_FLOWS_DIR names the folder of the recordings (tests/CMakeLists.txt)"
#endif

namespace calvex {
namespace {

using testing::FlowBench;

constexpr unsigned char kEndOfFrame = 0xFD;

class RecordedFlows;

struct RecordedFlow {
    const char* name;     // of the test and of its recording
    bool afterConnect;    // Connect has run, unrecorded, before the flow starts
    const char* message;  // part of the one message the flow shows; none when null
    std::function<void(RecordedFlows&)> run;
};

void PrintTo(const RecordedFlow& f, std::ostream* os) {
    *os << f.name;
}

class RecordedFlows : public FlowBench, public ::testing::TestWithParam<RecordedFlow> {
  public:
    RecordedFlows() {
        tap.onWire = [this](char direction, const std::string& bytes) {
            if (recording) record(direction, bytes);
        };
        core.onRestoreDone([this](const RestoreResult& r) { restores.push_back(r); });
    }

    // Nothing under way: no procedure putting values back, no operation, every change sent.
    bool settled() {
        return !rig.RigVelkaProp_PuttingBack() && !core.seq.OpRunning() && state() == 19 &&
               !anyChanged();
    }
    bool settle() {
        return tickUntil([&] { return settled(); }, 5000);
    }
    // Presses up on an item of the console, and runs until the cycle has sent it.
    void key(int16_t item) {
        console.UpDown(item, +1);
        EXPECT_TRUE(settle()) << "item " << item;
    }
    // Runs until the radio has heard count more adjustments with commands first to last.
    bool hearMore(int first, int last, int count) {
        const auto heard = [&] {
            return std::count_if(adjustments.begin(), adjustments.end(), [&](const auto& a) {
                return a.first >= first && a.first <= last;
            });
        };
        const auto before = heard();
        return tickUntil([&] { return heard() >= before + count; });
    }

    // What was recorded, with the bytes of an unfinished frame (if any) last.
    std::string text() const {
        std::string all = text_;
        for (const auto& [direction, bytes] : {std::pair{'>', &sent_}, std::pair{'<', &received_}})
            if (!bytes->empty()) all += Line(direction, *bytes);
        return all;
    }

    bool recording = false;
    std::vector<RestoreResult> restores;

  private:
    static std::string Line(char direction, const std::string& bytes) {
        return std::string(1, direction) + ' ' + ByteStrToHexStr(bytes) + '\n';
    }
    void record(char direction, const std::string& bytes) {
        std::string& frame = direction == '>' ? sent_ : received_;
        for (const char c : bytes) {
            frame += c;
            if (static_cast<unsigned char>(c) == kEndOfFrame) {
                text_ += Line(direction, frame);
                frame.clear();
            }
        }
    }

    std::string text_, sent_, received_;
};

std::string RecordingPath(const std::string& flow) {
    return std::string(CALVEX_RECORDED_FLOWS_DIR) + "/" + flow + ".frames";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A recorded line in words ("E8 EF>EE model 2601 sub 0100, command 05 ..."), for the failure.
std::string Described(const std::string& line) {
    if (line.size() < 2) return "(no line)";
    FrameSplitter splitter;
    const auto bodies = splitter.feed(HexStrToByteStr(line.substr(2)));
    return bodies.empty() ? "(no whole frame)" : DescribeFrame(bodies.back(), VelkaCommandName);
}

// The recording against the one expected, with the first line that differs and the lines before
// it when they are not the same.
::testing::AssertionResult SameFrames(const std::string& expected, const std::string& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    const auto want = Lines(expected), got = Lines(actual);
    std::size_t at = 0;
    while (at < want.size() && at < got.size() && want[at] == got[at])
        ++at;
    const auto lineAt = [](const std::vector<std::string>& lines, std::size_t i) {
        return i < lines.size() ? lines[i] : std::string("(the end)");
    };
    auto failure = ::testing::AssertionFailure();
    failure << "the frames differ first at line " << at + 1 << " (" << want.size()
            << " lines recorded, " << got.size() << " now):\n";
    for (std::size_t i = at > 3 ? at - 3 : 0; i < at; ++i)
        failure << "    " << want[i] << "\n";
    failure << "  - " << lineAt(want, at) << "\n      " << Described(lineAt(want, at)) << "\n"
            << "  + " << lineAt(got, at) << "\n      " << Described(lineAt(got, at)) << "\n";
    for (std::size_t i = at + 1; i < std::min(got.size(), at + 3); ++i)
        failure << "  + " << got[i] << "\n";
    return failure;
}

TEST_P(RecordedFlows, SendAndReceiveTheRecordedFrames) {
    const RecordedFlow& flow = GetParam();
    if (flow.afterConnect) {
        ASSERT_TRUE(connect());
    }
    recording = true;
    flow.run(*this);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(settle());
    for (int i = 0; i < 20; ++i)  // a second more: nothing follows
        tick();
    recording = false;
    ASSERT_EQ(messages.size(), flow.message ? 1u : 0u) << (messages.empty() ? "" : messages[0]);
    if (flow.message) {
        EXPECT_NE(messages[0].find(flow.message), std::string::npos) << messages[0];
    }

    const std::string path = RecordingPath(flow.name);
    const char* record = std::getenv("CALVEX_RECORD_FLOWS");
    if (record != nullptr && std::string(record) == "1") {
        ASSERT_FALSE(HasFailure()) << "not recorded: the flow went wrong";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text();
        ASSERT_TRUE(out.flush()) << "cannot write " << path;
        GTEST_SKIP() << "recorded " << path;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "no recording " << path << " (CALVEX_RECORD_FLOWS=1 makes it)";
    std::ostringstream expected;
    expected << in.rdbuf();
    EXPECT_TRUE(SameFrames(expected.str(), text())) << path;
}

constexpr const char* kPutBack = "The values it tried have been put back";

// The crystal's deviation in ppm at the 21 temperature borders (FlowTest's worked example).
constexpr std::array<float, 22> kTxfCoefs{-10, -8, -7, -6, -5, -4, -2, -1, 0, 0,  0,
                                          0,   0,  1,  2,  3,  4,  5,  6,  8, 10, 0};

const RecordedFlow kFlows[] = {
    // Identify, clone read, and the first cycle that sends every item back.
    {"Connect", false, nullptr, [](RecordedFlows& b) { ASSERT_TRUE(b.connect()); }},
    // A plain byte, a wide level (its narrow level follows), a ratio, the channel.
    {"Keys", true, nullptr,
     [](RecordedFlows& b) {
         for (int16_t item :
              {FlowBench::kPowerHi, FlowBench::kBalW, FlowBench::kBalRatio, FlowBench::kChNo})
             b.key(item);
     }},
    {"Reload", true, nullptr,
     [](RecordedFlows& b) {
         b.core.Click(1);
         ASSERT_TRUE(b.hearMore(3, 3, 12));  // the twelve readings
     }},
    {"Txf", true, nullptr,
     [](RecordedFlows& b) {
         FlowBench::Access::txfCoefs(b.rig) = kTxfCoefs;
         b.radio.temperature(25.0);
         b.runTxf(120, 140);
     }},
    {"BpfAll", true, nullptr,
     [](RecordedFlows& b) {
         b.enter(FlowBench::kBpfAll);
         ASSERT_TRUE(b.tickUntil([&] { return b.window.beeps == 1; }, 5000));
     }},
    // A key makes the radio differ from the backup of Connect, which is then written back.
    {"Restore", true, nullptr,
     [](RecordedFlows& b) {
         const std::string backup = b.core.backups.List()->front().name;
         b.key(FlowBench::kPowerHi);
         ASSERT_TRUE(b.core.StartRestore(backup));
         ASSERT_TRUE(b.tickUntil([&] { return !b.restores.empty(); }));
         ASSERT_EQ(b.restores[0].outcome, RestoreResult::Outcome::Restored) << b.restores[0].text;
     }},
    // Stopped by Reload once the radio has heard trial values: they are put back.
    {"TxfStopped", true, kPutBack,
     [](RecordedFlows& b) {
         b.enter(FlowBench::kTxf);
         ASSERT_TRUE(b.tickUntil([&] { return b.procStep() == 3 || b.procStep() == 5; }));
         b.console.UpDown(FlowBench::kTxf, +5);
         ASSERT_TRUE(b.hearMore(0x14, 0x3B, 4));  // the TXF table's positions
         b.core.Click(1);
     }},
    {"BpfAllStopped", true, kPutBack,
     [](RecordedFlows& b) {
         b.enter(FlowBench::kBpfAll);
         ASSERT_TRUE(b.hearMore(12, 12, 6));  // BPF T1's settings
         b.core.Click(1);
     }},
};

INSTANTIATE_TEST_SUITE_P(Rig, RecordedFlows, ::testing::ValuesIn(kFlows),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace calvex
