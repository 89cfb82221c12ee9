#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/IMessageBox.h"
#include "link/FakeTickSource.h"
#include "link/ISerialPeer.h"
#include "link/LoopbackSerialControl.h"
#include "memory/MemoryBackupStore.h"
#include "model/Transceiver.h"
#include "model/TransceiverPeer.h"
#include "rig/FakeRigWindow.h"
#include "rig/RigVelkaTestAccess.h"
#include "shell/CalvexCore.h"

namespace calvex::testing {

// The bytes of a frame's command (FE FE EE EF, command).
inline int CommandOf(const std::string& frame) {
    return frame.size() > 4 ? static_cast<uint8_t>(frame[4]) : -1;
}

// A whole image of random bytes, the same for the same seed.
inline std::string RandomImage(unsigned seed) {
    std::mt19937 gen(seed);
    std::string image(1664, '\0');
    for (auto& c : image)
        c = static_cast<char>(gen() & 0xFF);
    return image;
}

// Two images, with the first differing address when they differ (not the whole images).
inline ::testing::AssertionResult SameImage(const std::string& a, const std::string& b) {
    if (a == b) return ::testing::AssertionSuccess();
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
    }
    std::size_t at = 0;
    while (a[at] == b[at])
        ++at;
    return ::testing::AssertionFailure() << "they differ first at " << at;
}

// Passes the line through to the radio and shows onWire every byte on it: '>' what the program
// wrote, '<' what reached the program's side (the cable's echo included).
class WireTap : public ISerialPeer {
  public:
    explicit WireTap(ISerialPeer& inner) : inner_(inner) {}
    void fromComputer(const std::string& bytes, int32_t baud) override {
        if (onWire) onWire('>', bytes);
        inner_.fromComputer(bytes, baud);
    }
    std::string toComputer() override {
        std::string bytes = inner_.toComputer();
        if (onWire && !bytes.empty()) onWire('<', bytes);
        return bytes;
    }
    std::function<void(char direction, const std::string& bytes)> onWire;

  private:
    ISerialPeer& inner_;
};

// The whole program without its window, over the in-process line to the simulated transceiver,
// on a clock that advances 50 ms per tick.
class FlowBench : public IMessageBox {
  public:
    using Access = RigVelkaTestAccess;

    // Item indexes of the table.
    static constexpr int16_t kChNo = Index(VelkaItem::ChNo), kPowerHi = Index(VelkaItem::PowerHi),
                             kBalW = Index(VelkaItem::BalW), kBalRatio = Index(VelkaItem::BalRatio),
                             kBpfAll = Index(VelkaItem::BpfAll), kBpfT1 = Index(VelkaItem::BpfT1),
                             kBpfT2 = Index(VelkaItem::BpfT2), kTxf = Index(VelkaItem::Txf);

    FakeTickSource clock{5000};
    velka::Transceiver radio;
    velka::TransceiverPeer peer{radio, clock};
    WireTap tap{peer};
    LoopbackSerialControl port{tap};
    FakeRigWindow window;
    MemoryBackupStore backups;
    FakeUtcClock utc;
    CalvexCore core{port, clock, *this, window};
    clsIndOp_RigVelka& rig = core.rig;
    clsConsole& console = core.console;
    std::vector<std::string> messages;
    // Adjustment commands the radio heard: command and value.
    std::vector<std::pair<int, int>> adjustments;
    int ticks = 0;
    // Ticks that run while a message box is open.
    int nestedTicks = 0;

    FlowBench() {
        core.backups.UseStore(backups);
        core.backups.UseClock(utc);
        window.onCloneError = [this] { core.MsgBoxCloneErr(); };
        // As the desktop runs them: every event of the tick chain guarded.
        port.eventGuard([this](const std::function<void()>& event) { core.RunTickEvent(event); });
        radio.trace([this](int64_t, velka::Transceiver::TraceKind kind, const std::string& f) {
            if (kind == velka::Transceiver::TraceKind::Received && onHeard) onHeard(f);
            // FE FE EE EF E8, identity, command, value as two ASCII hex digits, FD
            if (kind == velka::Transceiver::TraceKind::Received && f.size() == 13 &&
                static_cast<uint8_t>(f[4]) == 0xE8) {
                adjustments.emplace_back(static_cast<uint8_t>(f[9]),
                                         std::stoi(f.substr(10, 2), nullptr, 16));
            }
        });
    }

    int16_t critical(const std::string& text, const std::string&, const std::string&) override {
        messages.push_back(text);
        // A modal box keeps the timer running underneath it.
        for (int i = 0; i < nestedTicks; ++i)
            tick();
        return kButtonOk;
    }

    // Runs after the line has delivered and before the timer fires (a test's line events).
    std::function<void()> afterPoll;
    // Every frame the radio hears (FE FE ... FD), before it acts on it.
    std::function<void(const std::string&)> onHeard;

    void tick() {
        clock.advance(50);
        ++ticks;
        port.poll();
        if (afterPoll) afterPoll();
        core.Tick();
    }
    template <class Done>
    bool tickUntil(Done done, int maxTicks = 2000) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done()) return true;
            tick();
        }
        return done();
    }

    int16_t state() { return Access::opState(rig); }
    int16_t procStep() { return Access::procStep(rig); }
    bool anyChanged() {
        for (int16_t i = 0; i < console.ListCount(); ++i) {
            if (console.flgChanged(i)) return true;
        }
        return false;
    }
    // Connect, and run until the first cycle has sent everything and ended.
    bool connect() {
        rig.RigOpFunc_ClickCmd00(0);
        return tickUntil([&] { return state() == 19 && !anyChanged(); });
    }
    // Enter on an item, as the console's key handler does.
    void enter(int16_t item) { console.EnterPushed(item); }
    // Drives the oscillator procedure through both settings to its end and returns the
    // temperature reading it computed with.
    int16_t runTxf(int16_t first, int16_t second) {
        const int beepsBefore = window.beeps;
        enter(kTxf);
        EXPECT_TRUE(tickUntil([&] { return procStep() == 3 || procStep() == 5; }));
        console.Value(kTxf, first);
        for (int i = 0; i < 20; ++i)
            tick();
        enter(kTxf);  // keep the first setting
        EXPECT_TRUE(tickUntil(
            [&] { return Access::txfSecondPhase(rig) && (procStep() == 3 || procStep() == 5); }));
        EXPECT_EQ(console.Value(kTxf), first + 22);
        console.Value(kTxf, second);
        for (int i = 0; i < 20; ++i)
            tick();
        enter(kTxf);  // compute and write the table
        EXPECT_TRUE(tickUntil([&] { return window.beeps == beepsBefore + 1; }));
        EXPECT_EQ(procStep(), 0);
        return Access::lastMon(rig)[1];
    }
    int adjustmentsOf(int command) const {
        int n = 0;
        for (const auto& a : adjustments)
            n += a.first == command;
        return n;
    }
};

}  // namespace calvex::testing
