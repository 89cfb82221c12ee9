#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/ISerialPeer.h"
#include "link/SerialControlBase.h"

namespace calvex {

// An in-process serial control joined to a peer (a simulated or scripted transceiver).
// Written bytes go to the peer with the rate of the settings text; bytes from the peer are
// taken in by poll(), which raises the receive event (or the overflow event) as a real
// control would from the event loop, never from inside a call of the program.
class LoopbackSerialControl : public SerialControlBase {
  public:
    // The getters of the overloaded properties come from the base.
    using SerialControlBase::CommPort;
    using SerialControlBase::DTREnable;
    using SerialControlBase::InBufferSize;
    using SerialControlBase::OutBufferSize;
    using SerialControlBase::RTSEnable;
    using SerialControlBase::Settings;

    explicit LoopbackSerialControl(ISerialPeer& peer) : peer_(peer) {}

    void CommPort(int16_t port) override;
    void Settings(const std::string& settings) override;
    bool PortOpen() const override { return open_; }
    void PortOpen(bool open) override;
    void DTREnable(bool on) override { dtr_ = on; }
    void RTSEnable(bool on) override { rts_ = on; }
    void InBufferSize(int16_t size) override;
    void OutBufferSize(int16_t size) override;
    int16_t OutBufferCount() const override { return static_cast<int16_t>(out_.size()); }
    void OutBufferCount(int16_t count) override;
    void Output(const std::string& bytes) override;

    // The rate of the current settings text (0 when it does not start with a number).
    int32_t baud() const;

    // Takes in what the peer has sent by now and raises the matching event.
    void poll();
    // When off, written bytes wait in the transmit buffer until drain() hands them on, so a
    // test can fill the buffer as a slow line would.
    void autoDrain(bool on) { autoDrain_ = on; }
    void drain();
    // Makes the next openings fail with the given reason (empty: open normally again).
    void failOpen(const std::string& reason) { failReason_ = reason; }
    // Raises an event as the line would (break, framing error, ...).
    void raise(int16_t event);
    // The device goes away while open: the port closes and the loss is reported.
    void loseDevice(const std::string& reason);
    // Every settings text applied at an opening, in order.
    const std::vector<std::string>& openedWith() const { return openedWith_; }

  private:
    std::string deviceName() const { return "COM" + std::to_string(commPort_); }

    ISerialPeer& peer_;
    bool open_ = false;
    std::string out_;
    bool autoDrain_ = true;
    std::string failReason_;
    std::vector<std::string> openedWith_;
};

}  // namespace calvex
