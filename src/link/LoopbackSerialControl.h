#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/ISerialControl.h"
#include "link/ISerialPeer.h"

namespace calvex {

// An in-process serial control joined to a peer (a simulated or scripted transceiver).
// Written bytes go to the peer with the rate of the settings text; bytes from the peer are
// taken in by poll(), which raises the receive event (or the overflow event) as a real
// control would from the event loop, never from inside a call of the program.
class LoopbackSerialControl : public ISerialControl {
  public:
    explicit LoopbackSerialControl(ISerialPeer& peer) : peer_(peer) {}

    int16_t CommPort() const override { return commPort_; }
    void CommPort(int16_t port) override;
    std::string Settings() const override { return settings_; }
    void Settings(const std::string& settings) override;
    bool PortOpen() const override { return open_; }
    void PortOpen(bool open) override;
    bool DTREnable() const override { return dtr_; }
    void DTREnable(bool on) override { dtr_ = on; }
    bool RTSEnable() const override { return rts_; }
    void RTSEnable(bool on) override { rts_ = on; }
    int16_t InBufferSize() const override { return inSize_; }
    void InBufferSize(int16_t size) override;
    int16_t OutBufferSize() const override { return outSize_; }
    void OutBufferSize(int16_t size) override;
    int16_t InBufferCount() const override { return static_cast<int16_t>(in_.size()); }
    int16_t OutBufferCount() const override { return static_cast<int16_t>(out_.size()); }
    void OutBufferCount(int16_t count) override;
    int16_t InputLen() const override { return inputLen_; }
    void InputLen(int16_t len) override { inputLen_ = len; }
    int16_t InputMode() const override { return inputMode_; }
    void InputMode(int16_t mode) override { inputMode_ = mode; }
    int16_t RThreshold() const override { return rThreshold_; }
    void RThreshold(int16_t count) override { rThreshold_ = count; }
    int16_t SThreshold() const override { return sThreshold_; }
    void SThreshold(int16_t count) override { sThreshold_ = count; }
    std::string Input() override;
    void Output(const std::string& bytes) override;
    int16_t CommEvent() const override { return commEvent_; }
    void OnComm(std::function<void()> handler) override { handler_ = std::move(handler); }
    const SerialError* LastFault() const override { return fault_ ? &*fault_ : nullptr; }

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
    void fire(int16_t event);

    ISerialPeer& peer_;
    int16_t commPort_ = 1;
    std::string settings_ = "9600,N,8,1";
    bool open_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    int16_t inSize_ = 1024;
    int16_t outSize_ = 512;
    int16_t inputLen_ = 0;
    int16_t inputMode_ = kInputModeText;
    int16_t rThreshold_ = 0;
    int16_t sThreshold_ = 0;
    int16_t commEvent_ = 0;
    std::string in_;
    std::string out_;
    bool autoDrain_ = true;
    std::string failReason_;
    std::optional<SerialError> fault_;
    std::function<void()> handler_;
    std::vector<std::string> openedWith_;
};

}  // namespace calvex
