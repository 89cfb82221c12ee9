#include "model/TransceiverPeer.h"

#include <gtest/gtest.h>

#include <limits>

#include "link/FakeTickSource.h"
#include "sim/SimFrames.h"

using namespace simtest;

namespace {

// The in-process line, driven by the program's (fake) tick source, across the tick's wrap.
TEST(TransceiverPeer, AnswersOnTheFakeClockAcrossTheTickWrap) {
    calvex::testing::FakeTickSource ticks(std::numeric_limits<int32_t>::max() - 20);
    velka::Transceiver radio;
    velka::TransceiverPeer peer(radio, ticks);

    peer.fromComputer(identify(), 9600);
    EXPECT_EQ(peer.toComputer(), identify()) << "only the echo so far";
    ticks.advance(40);
    EXPECT_EQ(peer.nowMs(), 40);
    std::string out = peer.toComputer();
    ticks.advance(30);
    out += peer.toComputer();
    const auto frames = radioFrames(out);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(at(frames[0], 3), 0xE1);
}

TEST(TransceiverPeer, HearsOnlyAtTheRadiosRate) {
    calvex::testing::FakeTickSource ticks;
    velka::Transceiver radio;
    velka::TransceiverPeer peer(radio, ticks);
    peer.fromComputer(identify(), 38400);
    ticks.advance(500);
    EXPECT_EQ(peer.toComputer(), identify());
}

}  // namespace
