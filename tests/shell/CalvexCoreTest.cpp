// The single instances wired as start-up wires them: the application task of every tick, the
// automatic port release and the two settings as they reach the sequencer and the transceiver
// object.
#include "shell/CalvexCore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/Common.h"
#include "base/TempDir.h"
#include "clone/ScriptedTransceiver.h"
#include "link/FakeTickSource.h"
#include "link/LoopbackSerialControl.h"
#include "rig/FakeRigWindow.h"
#include "rig/RigVelkaTestAccess.h"

namespace calvex {
namespace {

using testing::FakeRigWindow;
using testing::FakeTickSource;
using testing::ScriptedTransceiver;
using testing::TempDir;

class Core : public ::testing::Test, public IMessageBox {
  protected:
    Core() {
        window.onCloneError = [this] { core.MsgBoxCloneErr(); };
        core.profMain.Path(dir.path() + "/");
        core.profMain.DefaultsPath("");
    }

    int16_t critical(const std::string& text, const std::string&, const std::string&) override {
        messages.push_back(text);
        return kButtonOk;
    }

    // One 50 ms tick of the timer.
    void tick() {
        clock.advance(50);
        port.poll();
        core.Tick();
    }
    void settings(const std::string& text) {
        TempDir::write(dir.file(CalvexCore::kSettingsFileName), text);
    }

    TempDir dir;
    FakeTickSource clock{5000};
    ScriptedTransceiver peer;
    LoopbackSerialControl port{peer};
    FakeRigWindow window;
    CalvexCore core{port, clock, *this, window};
    std::vector<std::string> messages;
};

TEST_F(Core, AnOperationTheTransceiverTaskStartsIsSteppedAgainInTheSameTask) {
    // The transceiver task is in its cycle with one changed item to send.
    RigVelkaTestAccess::opState(core.rig) = 16;
    core.console.Value(1, 10);  // " Power(Hi)": command 5
    core.task();
    ASSERT_EQ(peer.frames, std::vector<std::string>{HexStrToByteStr("EEEFE826010100053041")});
    // The command needs no answer: the second pass has already finished the operation.
    EXPECT_FALSE(core.seq.OpRunning());
    EXPECT_TRUE(messages.empty());
}

TEST_F(Core, TheReleaseTimeIsGivenInSeconds) {
    core.ComAutoRelease(2);
    EXPECT_EQ(core.seq.comHoldReload(), 2000);
    core.seq.easySendE8NoAnswer("0B3146");
    tick();  // the operation ends in this tick
    ASSERT_FALSE(core.seq.OpRunning());
    for (int i = 1; i < 40; ++i) {
        tick();
        ASSERT_TRUE(core.com.comOpen()) << i * 50 << " ms";
    }
    tick();  // 2000 ms after the last pass of the operation
    EXPECT_FALSE(core.com.comOpen());
    EXPECT_TRUE(messages.empty());
}

TEST_F(Core, StoredSettingsOrTheirDefaultsAreInForceFromTheFirstTick) {
    struct Case {
        const char* name;
        const char* file;  // nullptr: no settings file at all
        int16_t port;
        int16_t release;
    } cases[] = {
        {"no file", nullptr, 1, 0},
        {"no keys", "[OPTION]\n", 1, 0},
        {"both keys", "[OPTION]\nComPort=3\nComAutoRelease=2\n", 3, 2},
        {"only the release", "[OPTION]\nComAutoRelease=4\n", 1, 4},
        {"only the port", "[OPTION]\nComPort=2\n", 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir.file(CalvexCore::kSettingsFileName));
        if (c.file != nullptr) settings(c.file);
        // Other values than the defaults beforehand, so that a default must be applied.
        core.ComPortNo(4);
        core.ComAutoRelease(5);
        core.LoadProfile();
        tick();
        EXPECT_EQ(core.ComPortNo(), c.port);
        EXPECT_EQ(core.ComAutoRelease(), c.release);
        EXPECT_EQ(core.seq.comHoldReload(), c.release * 1000);
        // Connect opens the port the transceiver object was given.
        core.rig.RigOpFunc_ClickCmd00(0);
        tick();
        ASSERT_TRUE(core.com.comOpen());
        EXPECT_EQ(port.CommPort(), c.port);
        core.rig.RigOpFunc_ResetAll();
    }
    EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace calvex
