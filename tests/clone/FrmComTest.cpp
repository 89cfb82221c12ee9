#include "link/frmCom.h"

#include <gtest/gtest.h>

#include <optional>

#include "base/Common.h"
#include "clone/CloneBench.h"
#include "link/FakeTickSource.h"
#include "link/LoopbackSerialControl.h"

namespace calvex {
namespace {

using testing::CloneBench;
using testing::FakeTickSource;

class QueuePeer : public ISerialPeer {
  public:
    std::string pending;
    std::vector<std::string> writes;
    void fromComputer(const std::string& bytes, int32_t) override { writes.push_back(bytes); }
    std::string toComputer() override {
        std::string b;
        b.swap(pending);
        return b;
    }
};

// Records the order of what one tick does.
class RecordingHost : public IComHost {
  public:
    std::vector<std::string> log;
    std::function<void()> onTask;
    std::function<void()> onReport;
    void task() override {
        log.push_back("task");
        if (onTask) onTask();
    }
    void MsgBoxCloneErr() override {
        log.push_back("report");
        if (onReport) onReport();
    }
};

class SerialForm : public ::testing::Test {
  protected:
    FakeTickSource clock;
    QueuePeer peer;
    LoopbackSerialControl port{peer};
    RecordingHost host;
    frmCom com{port};
    CloneLine line{com, clock, host};
};

TEST_F(SerialForm, PortNumberRange) {
    com.comPortNum(10);
    EXPECT_EQ(com.comPortNum(), 10);
    com.comPortNum(11);
    EXPECT_EQ(com.comPortNum(), 10);
    com.comPortNum(0);
    EXPECT_EQ(com.comPortNum(), 10);
}

TEST_F(SerialForm, OpenAppliesPortAndRate) {
    EXPECT_EQ(port.InBufferSize(), 32760);
    EXPECT_EQ(port.OutBufferSize(), 1024);
    EXPECT_EQ(port.RThreshold(), 1);
    EXPECT_EQ(port.InputMode(), kInputModeBinary);
    EXPECT_TRUE(port.DTREnable());
    EXPECT_TRUE(port.RTSEnable());
    com.comPortNum(3);
    com.comBaud(38400);
    com.comOpen(true);
    EXPECT_TRUE(com.comOpen());
    EXPECT_EQ(port.Settings(), "38400,N,8,1");
    EXPECT_EQ(port.CommPort(), 3);
    // Already open: nothing is re-applied, unsent bytes are dropped, the driver is reset.
    com.comBaud(9600);
    port.autoDrain(false);
    port.Output("abc");
    line.cln3D().SendFE(1);
    com.comOpen(true);
    EXPECT_EQ(port.Settings(), "38400,N,8,1");
    EXPECT_EQ(port.OutBufferCount(), 0);
    line.cln3D().workMode(5);
    EXPECT_EQ(line.cln3D().Send(HexStrToByteStr("E8260101000B3146")), 0);
}

TEST_F(SerialForm, ResetAndHighSpeed) {
    com.comPortNum(4);
    com.comOpen(true);
    com.HighSpeedBRatioSet();
    EXPECT_FALSE(com.comOpen());
    EXPECT_EQ(com.comBaud(), 38400);
    EXPECT_EQ(port.RThreshold(), 1024);
    EXPECT_EQ(com.comPortNum(), 1);
    com.comOpen(true);
    com.Reset();
    EXPECT_FALSE(com.comOpen());
    EXPECT_EQ(com.comBaud(), 9600);
    EXPECT_EQ(port.RThreshold(), 1);
    com.comOpen(false);  // closing a closed port raises nothing
    EXPECT_FALSE(line.totalError());
}

TEST_F(SerialForm, OpenFailureIsNotedWithItsReason) {
    port.failOpen("Permission denied");
    com.comOpen(true);
    EXPECT_FALSE(com.comOpen());
    EXPECT_TRUE(com.errCannotOpen());
    EXPECT_TRUE(line.totalError());
    EXPECT_EQ(com.openErrorDevice(), "COM1");
    EXPECT_EQ(com.openErrorReason(), "Permission denied");
}

TEST_F(SerialForm, TickRunsTheChainInOrder) {
    com.comOpen(true);
    host.onTask = [&] { line.cln3D().nowError(DriverError::IllegalData); };
    host.onReport = [&] { host.log.push_back(com.comOpen() ? "open" : "closed"); };
    line.timSolid_Timer();
    EXPECT_EQ(host.log, (std::vector<std::string>{"task", "report", "open"}));
    // The report did not clear the fault, so the tick closes the port itself.
    EXPECT_FALSE(com.comOpen());
}

// What the application task sees of an exchange whose answer time-out runs out in this tick:
// the bytes already waiting at the port are taken first, then the driver checks its time-out,
// then the task runs.
struct TickOrderCase {
    const char* name;
    bool answerWaiting;
    bool runningAtTask;
    DriverError errorAtTask;
};

class TickOrder : public SerialForm, public ::testing::WithParamInterface<TickOrderCase> {};

TEST_P(TickOrder, ReceiveThenDriverThenTask) {
    const TickOrderCase& c = GetParam();
    com.comOpen(true);
    clsCmcCln3Drv& drv = line.cln3D();
    drv.workMode(5);
    drv.waitAnswer(true);
    ASSERT_EQ(drv.Send(HexStrToByteStr("E8260101000B3146")), 0);
    clock.advance(clsCmcCln3Drv::kAnswerTimeout);
    if (c.answerWaiting) {
        // Waiting without a receive event, as at a timer tick in the high-speed mode.
        port.RThreshold(0);
        peer.pending = HexStrToByteStr("FEFEEFEEE8260101000B3041FD");
        port.poll();
        ASSERT_EQ(port.InBufferCount(), 13);
    }
    bool running = false;
    std::optional<DriverError> error;
    host.onTask = [&] {
        running = drv.Running();
        error = drv.nowError();
    };
    line.timSolid_Timer();
    EXPECT_EQ(running, c.runningAtTask);
    EXPECT_EQ(error, c.errorAtTask);
}

INSTANTIATE_TEST_SUITE_P(
    Tick, TickOrder,
    ::testing::Values(TickOrderCase{"AnswerWaitingIsTakenBeforeTheTimeOut", true, false,
                                    DriverError::None},
                      TickOrderCase{"TimeOutIsSeenByTheTask", false, false, DriverError::NoAnswer}),
    [](const ::testing::TestParamInfo<TickOrderCase>& p) { return std::string(p.param.name); });

TEST_F(SerialForm, ResetsClearThePortFlags) {
    for (const auto& reset :
         {+[](frmCom& c) { c.Reset(); }, +[](frmCom& c) { c.HighSpeedBRatioSet(); }}) {
        com.errOverflow(true);
        com.errCannotOpen(true);
        reset(com);
        EXPECT_FALSE(com.errOverflow());
        EXPECT_FALSE(com.errCannotOpen());
        EXPECT_FALSE(line.totalError());
    }
}

TEST_F(SerialForm, ASettingTheControlRefusesLeavesThePortClosed) {
    // The device itself would open; the rate it is given is refused.
    com.comBaud(0);
    com.comOpen(true);
    EXPECT_FALSE(com.comOpen());
    EXPECT_FALSE(port.PortOpen());
    EXPECT_TRUE(com.errCannotOpen());
}

// A port event arrives while a frame is half received: line errors drop the partial frame (the
// exchange then ends by its time-out), every other event leaves it alone.
struct LineEventCase {
    const char* name;
    int16_t event;
    bool dropsFrame;
};

class LineEvent : public SerialForm, public ::testing::WithParamInterface<LineEventCase> {};

TEST_P(LineEvent, PartialFrame) {
    const LineEventCase& c = GetParam();
    com.comOpen(true);
    clsCmcCln3Drv& drv = line.cln3D();
    drv.workMode(1);
    ASSERT_EQ(drv.Send(HexStrToByteStr("E026010000")), 0);
    std::string answer = HexStrToByteStr("FEFEEFEEE126010100");
    answer.push_back(static_cast<char>(43));
    answer += std::string(42, '\x05') + HexStrToByteStr("FD");
    peer.pending = answer.substr(0, 20);
    port.poll();
    port.raise(c.event);
    peer.pending = answer.substr(20);
    port.poll();
    EXPECT_TRUE(com.comOpen());
    EXPECT_EQ(drv.Running(), c.dropsFrame);
    EXPECT_EQ(drv.ansInfo().empty(), c.dropsFrame);
    EXPECT_FALSE(line.totalError());
}

INSTANTIATE_TEST_SUITE_P(
    Events, LineEvent,
    ::testing::Values(LineEventCase{"Break", comm_event::kBreak, true},
                      LineEventCase{"CtsTimeout", comm_event::kCtsTimeout, true},
                      LineEventCase{"DsrTimeout", comm_event::kDsrTimeout, true},
                      LineEventCase{"Framing", comm_event::kFrame, true},
                      LineEventCase{"Overrun", comm_event::kOverrun, true},
                      LineEventCase{"CdTimeout", comm_event::kCdTimeout, true},
                      LineEventCase{"Parity", comm_event::kRxParity, true},
                      LineEventCase{"TransmitBufferFull", comm_event::kTxFull, true},
                      LineEventCase{"Dcb", comm_event::kDcb, true},
                      LineEventCase{"Send", comm_event::kSend, false},
                      LineEventCase{"Cts", 3, false}, LineEventCase{"Dsr", 4, false},
                      LineEventCase{"Cd", 5, false}, LineEventCase{"Ring", 6, false},
                      LineEventCase{"Eof", 7, false}, LineEventCase{"Unlisted", 1005, false}),
    [](const ::testing::TestParamInfo<LineEventCase>& p) { return std::string(p.param.name); });

TEST_F(SerialForm, Events) {
    com.comOpen(true);
    port.raise(comm_event::kReceive);  // nothing waiting: nothing runs
    EXPECT_TRUE(host.log.empty());
    peer.pending = "x";
    port.poll();
    EXPECT_EQ(host.log.size(), 1u);

    port.raise(comm_event::kFrame);  // drops only the partial frame
    EXPECT_TRUE(com.comOpen());
    EXPECT_FALSE(line.totalError());

    peer.pending = std::string(40000, 'x');
    port.poll();
    EXPECT_TRUE(com.errOverflow());
    EXPECT_FALSE(com.comOpen());

    com.Reset();
    com.comOpen(true);
    port.loseDevice("Inappropriate ioctl for device");
    EXPECT_TRUE(com.errCannotOpen());
    EXPECT_FALSE(com.comOpen());
    // The system's words after a loss mean nothing to a technician.
    EXPECT_EQ(com.openErrorDevice(), "COM1");
    EXPECT_EQ(com.openErrorReason(), frmCom::kDisconnected);
}

TEST_F(SerialForm, ALostDeviceStaysLostUntilTheFaultIsCleared) {
    com.comOpen(true);
    port.loseDevice("Input/output error");
    EXPECT_TRUE(com.lineLost());
    // The resets inside an operation neither clear the loss nor reopen the device.
    for (const auto& step :
         {+[](frmCom& c) { c.Reset(); }, +[](frmCom& c) { c.HighSpeedBRatioSet(); }}) {
        step(com);
        EXPECT_TRUE(line.totalError());
        com.comOpen(true);
        EXPECT_FALSE(com.comOpen());
        EXPECT_TRUE(com.errCannotOpen());
        EXPECT_EQ(com.openErrorReason(), frmCom::kDisconnected);
    }
    com.clearLineLost();
    com.Reset();
    EXPECT_FALSE(line.totalError());
    com.comOpen(true);
    EXPECT_TRUE(com.comOpen());
}

TEST_F(SerialForm, AllOverClosesAndSaves) {
    int saved = 0;
    com.saveProfileHook([&] { ++saved; });
    com.comOpen(true);
    com.AllOver();
    EXPECT_FALSE(com.comOpen());
    EXPECT_EQ(saved, 1);
}

TEST(SerialFormReentry, TicksBehindAModalBoxFindAnIdleSystem) {
    // The desktop's box runs an event loop: ticks go on while it is open.
    class NestedBench : public CloneBench {
      public:
        int16_t critical(const std::string& text, const std::string& title,
                         const std::string& detail) override {
            CloneBench::critical(text, title, detail);
            for (int i = 0; i < 60; ++i)
                tick();
            return kButtonOk;
        }
    };
    NestedBench b;
    b.peer.e6Result = 0x02;
    b.seq.easyCloneWrite();
    ASSERT_TRUE(b.runUntilIdle());
    for (int i = 0; i < 60; ++i)
        b.tick();
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0].substr(0, 26), "Cannot write cloning data.");
    EXPECT_FALSE(b.seq.OpRunning());
    EXPECT_FALSE(b.com.comOpen());

    // The next operation after the box works.
    b.peer.e6Result = 0x00;
    b.seq.easyCloneWrite();
    ASSERT_TRUE(b.runUntilIdle());
    EXPECT_EQ(b.messages.size(), 1u);
}

}  // namespace
}  // namespace calvex
