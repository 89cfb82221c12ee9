#include "shell/CloneErrorMessage.h"

#include <gtest/gtest.h>

#include <functional>

#include "clone/CloneBench.h"

namespace calvex {
namespace {

using testing::CloneBench;
using testing::Lines;

struct MessageCase {
    const char* name;
    bool cannotOpen;
    bool overflow;
    int16_t drv;
    int16_t seq;
    std::string text;
};

const char* kChk = "Check the following:";
const char* kCom = "- The COM port settings.";
const char* kCbl = "- Cloning cable connections.";
const char* kPwr = "- Transceiver power is ON.";

class CloneMessage : public ::testing::TestWithParam<MessageCase> {};

TEST_P(CloneMessage, Composes) {
    const MessageCase& c = GetParam();
    EXPECT_EQ(CloneErrorMessage(c.cannotOpen, c.overflow, static_cast<DriverError>(c.drv),
                                static_cast<SequenceError>(c.seq), 2),
              c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CloneMessage,
    ::testing::Values(
        MessageCase{"CannotOpenWins", true, true, 2, 1,
                    Lines({"Cannot access COM 2.", "", kChk, kCom, kCbl, kPwr})},
        MessageCase{"Overflow", false, true, 2, 0,
                    Lines({"COM buffer overflow.", "", kChk, kCom, kCbl, kPwr})},
        MessageCase{"Driver1", false, false, 1, 0,
                    Lines({"Cannot access COM port", "", kChk, kCom, kCbl, kPwr})},
        MessageCase{"Driver2", false, false, 2, 4,
                    Lines({"No answer from transceiver.", "", kChk, kCom, kCbl, kPwr})},
        MessageCase{"Driver3", false, false, 3, 0,
                    Lines({"Illegal data.", "", kChk, kCom, kCbl, kPwr})},
        MessageCase{"Driver4", false, false, 4, 0,
                    Lines({"Data counter error.", "", kChk, kCom, kCbl, kPwr})},
        MessageCase{"Driver5", false, false, 5, 0,
                    Lines({"Data overflow.", "", kChk, kCom, kCbl, kPwr})},
        MessageCase{"Driver6", false, false, 6, 0,
                    Lines({"Cannot write cloning data.", "", kChk, kCbl, kPwr})},
        MessageCase{"Driver7", false, false, 7, 0,
                    Lines({"Cannot write cloning data.", "", kChk, kCbl, kPwr})},
        MessageCase{"Driver8", false, false, 8, 0,
                    Lines({"Cannot Clone.", "", kChk, "", kCom, kCbl, kPwr})},
        MessageCase{"DriverNegative", false, false, -1, 0,
                    Lines({"Cannot Clone.", "", kChk, "", kCom, kCbl, kPwr})},
        MessageCase{"Nothing", false, false, 0, 0,
                    Lines({"Communication failed.", "", kChk, kCbl, kPwr})},
        MessageCase{"Model", false, false, 0, 1,
                    Lines({"Cannot Clone.", "", kChk, kCom, kCbl, kPwr})},
        MessageCase{"Version", false, false, 0, 2,
                    Lines({"Version number does not match", "for this transceiver."})},
        MessageCase{"Incompatible", false, false, 0, 3,
                    Lines({"Connected transceiver is not compatible model.", "", kChk,
                           "- Appropriate cloning software for the transceiver is being used.",
                           "- The revision number of the transceiver."})},
        MessageCase{"SeqDriverFault", false, false, 0, 4,
                    Lines({"Cannot Clone.", "", kChk, kCom, kCbl, kPwr})}),
    [](const ::testing::TestParamInfo<MessageCase>& p) { return std::string(p.param.name); });

TEST(CloneMessage, ResetsBeforeTheBoxAndClearsTheFlags) {
    struct Case {
        const char* name;
        std::function<void(CloneBench&)> fault;
        std::string text;
    } cases[] = {
        {"port that cannot be opened",
         [](CloneBench& b) {
             b.com.comPortNum(4);
             b.port.failOpen("No such file or directory");
             b.com.comOpen(true);
         },
         Lines({"Cannot access COM 4.", "", kChk, kCom, kCbl, kPwr})},
        {"no answer on an open port",
         [](CloneBench& b) {
             b.com.comOpen(true);
             b.line.cln3D().nowError(DriverError::NoAnswer);
         },
         Lines({"No answer from transceiver.", "", kChk, kCom, kCbl, kPwr})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CloneBench b;
        c.fault(b);
        ASSERT_TRUE(b.line.totalError());
        b.MsgBoxCloneErr();
        ASSERT_EQ(b.messages.size(), 1u);
        EXPECT_EQ(b.messages[0], c.text);
        // What the box saw: the reset had run, the port was closed and the fault cleared.
        EXPECT_EQ(b.atMessage[0].resets, 1);
        EXPECT_FALSE(b.atMessage[0].portOpen);
        EXPECT_FALSE(b.atMessage[0].totalError);
        EXPECT_FALSE(b.line.totalError());
    }
}

}  // namespace
}  // namespace calvex
