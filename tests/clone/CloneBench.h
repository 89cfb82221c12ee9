#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/IMessageBox.h"
#include "clone/CloneLine.h"
#include "clone/IComHost.h"
#include "clone/ScriptedTransceiver.h"
#include "clone/clsCmcCln3Sequence.h"
#include "link/FakeTickSource.h"
#include "link/LoopbackSerialControl.h"
#include "memory/clsCmcRadio.h"
#include "shell/CloneErrorMessage.h"
#include "shell/IRigReset.h"

namespace calvex::testing {

// The clone stack wired as the program wires it, over a loopback line to a scripted
// transceiver, with a clock that advances 50 ms per tick and message boxes that are recorded.
class CloneBench : public IComHost, public ISequencerHost, public IRigReset, public IMessageBox {
  public:
    FakeTickSource clock{1000};
    ScriptedTransceiver peer;
    LoopbackSerialControl port{peer};
    frmCom com{port};
    CloneLine line{com, clock, *this};
    clsCmcRadio radio;
    clsCmcCln3Sequence seq{line, radio, *this, clock};
    std::set<std::string> legalSubs{"0100", "0200"};
    std::vector<std::string> messages;
    // What each box saw when it was shown: the transceiver object is reset before it.
    struct AtMessage {
        bool portOpen;
        int resets;
        bool opRunning;
        bool totalError;
    };
    std::vector<AtMessage> atMessage;
    int resets = 0;

    CloneBench() {
        peer.onWriteAfterCut = [this] { loseCutDevice(); };
        // While the line is cut its device is gone: opening it fails.
        peer.onCut = [this] { port.failOpen("No such file or directory"); };
        radio.radioNameM("2601");
        radio.radionameS("0100");
        radio.cloneWriteAdrList_Clear();
        radio.cloneWriteAdrList_Add(0, 1663);
        com.comPortNum(1);
        com.comBaud(9600);
        line.cln3D().Reset();
        com.Reset();
    }

    void task() override {
        seq.task();
        if (seq.OpRunning()) seq.task();
    }
    void MsgBoxCloneErr() override { calvex::MsgBoxCloneErr(line, seq, *this, *this); }
    void MsgBoxCloneErr(clsCmcCln3Sequence& s) override {
        calvex::MsgBoxCloneErr(line, s, *this, *this);
    }
    bool RigOpFunc_CheckSubNameLegal(const std::string& subName) override {
        return legalSubs.count(subName) != 0;
    }
    void RigOpFunc_ResetAll() override {
        ++resets;
        seq.easyReset(seq.ComPortNo());
    }
    int16_t critical(const std::string& text, const std::string&, const std::string&) override {
        messages.push_back(text);
        atMessage.push_back({com.comOpen(), resets, seq.OpRunning(), line.totalError()});
        return kButtonOk;
    }

    // A cut line reaches the program as the loss of its device: at the first write to it, or
    // when the event loop next looks at the line.
    void loseCutDevice() {
        if (!peer.cutAfter || writesAfterCutAtLoss || !port.PortOpen()) return;
        writesAfterCutAtLoss = peer.writesAfterCut;
        port.loseDevice("Input/output error");
    }
    // The line comes back, as a device that reappears at its path.
    void restoreLine() {
        peer.restoreLine();
        port.failOpen("");
    }
    // The program's writes after the cut, when it was told of it (none may follow).
    std::optional<std::size_t> writesAfterCutAtLoss;

    // One 50 ms tick: the line delivers (raising the receive event), then the timer fires.
    // A cut line reaches the program as the loss of its device, from the event loop.
    void tick() {
        loseCutDevice();
        clock.advance(50);
        port.poll();
        line.timSolid_Timer();
    }
    // Ticks until the operation has ended; false if it is still running after max ticks.
    bool runUntilIdle(int maxTicks = 400) {
        for (int i = 0; i < maxTicks; ++i) {
            if (!seq.OpRunning()) return true;
            tick();
        }
        return !seq.OpRunning();
    }
};

// Message texts the tests expect, built line by line.
inline std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    bool first = true;
    for (const char* line : lines) {
        if (!first) text += "\r\n";
        text += line;
        first = false;
    }
    return text;
}

}  // namespace calvex::testing
