// The wire trace of a Connect against the simulated transceiver: what it decodes as sent is
// exactly what the radio heard, frame by frame.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "clone/MemoryTraceStore.h"
#include "rig/FlowBench.h"
#include "rig/VelkaCommands.h"

namespace calvex {
namespace {

using testing::FlowBench;
using testing::MemoryTraceStore;

// A frame as the radio heard it (FE FE body FD) to its body.
std::string BodyOf(const std::string& frame) {
    const auto start = frame.find_last_of('\xFE');
    return frame.substr(start + 1, frame.size() - start - 2);
}

TEST(WireTraceFlow, TheTraceOfAConnectDecodesToTheFramesTheRadioHeard) {
    FlowBench b;
    MemoryTraceStore store;
    b.core.trace.UseStore(store);
    b.core.RecordWireTrace(true);
    std::vector<std::string> heard;
    b.onHeard = [&](const std::string& frame) {
        heard.push_back(DescribeFrame(BodyOf(frame), VelkaCommandName));
    };
    b.core.Click(0);  // Connect
    ASSERT_TRUE(b.tickUntil([&] { return b.state() == 19 && !b.anyChanged(); }));
    ASSERT_TRUE(b.messages.empty());
    b.core.Finish();

    ASSERT_EQ(store.files.size(), 1u);
    const std::string& text = store.files.begin()->second;
    EXPECT_TRUE(store.files.begin()->first.ends_with("-2601-0100.trace"));
    // The decoded lines that follow a TX line are the frames sent.
    std::vector<std::string> sent;
    std::istringstream lines(text);
    std::string line, direction;
    while (std::getline(lines, line)) {
        if (line.size() > 14 && line.compare(10, 2, "TX") == 0) direction = "TX";
        if (line.size() > 14 && line.compare(10, 2, "RX") == 0) direction = "RX";
        const auto mark = line.find("= ");
        if (line.starts_with("    ") && mark == 20 && direction == "TX")
            sent.push_back(line.substr(22));
    }
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(sent, heard);
    // The clone read is all there: the adjustment items are named.
    EXPECT_NE(text.find("command 05 \"Power(Hi)\""), std::string::npos);
    EXPECT_NE(text.find("E2 EF>EE clone read model 2601 sub 0100"), std::string::npos);
}

}  // namespace
}  // namespace calvex
