#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/ISerialControl.h"

namespace calvex {

// What every serial control keeps alike: the plain settings, the receive buffer with its
// threshold and overflow, the last event and its handler. The line itself is the subclass's.
class SerialControlBase : public ISerialControl {
  public:
    // The settings as they stand, for the control's owner and its tests; the setters stay
    // visible beside these getters of the same names.
    using ISerialControl::CommPort;
    using ISerialControl::DTREnable;
    using ISerialControl::InBufferSize;
    using ISerialControl::RTSEnable;
    using ISerialControl::Settings;
    int16_t CommPort() const { return commPort_; }
    std::string Settings() const { return settings_; }
    bool DTREnable() const { return dtr_; }
    bool RTSEnable() const { return rts_; }
    int16_t InBufferSize() const { return inSize_; }
    int16_t InputLen() const { return inputLen_; }
    int16_t InputMode() const { return inputMode_; }
    int16_t RThreshold() const { return rThreshold_; }
    int16_t SThreshold() const { return sThreshold_; }

    int16_t OutBufferSize() const override { return outSize_; }
    int16_t InBufferCount() const override { return static_cast<int16_t>(in_.size()); }
    void InputLen(int16_t len) override { inputLen_ = len; }
    void InputMode(int16_t mode) override { inputMode_ = mode; }
    void RThreshold(int16_t count) override { rThreshold_ = count; }
    void SThreshold(int16_t count) override { sThreshold_ = count; }
    std::string Input() override;
    int16_t CommEvent() const override { return commEvent_; }
    void OnComm(std::function<void()> handler) override { handler_ = std::move(handler); }
    const SerialError* LastFault() const override { return fault_ ? &*fault_ : nullptr; }

    // Wraps every run of the event handler, so that the program can report a run-time error of
    // the tick it starts instead of losing it inside the event loop.
    using EventGuard = std::function<void(const std::function<void()>&)>;
    void eventGuard(EventGuard guard) { guard_ = std::move(guard); }

  protected:
    // Takes in bytes that arrived, up to the receive buffer's size, and raises the overflow
    // event when some did not fit, else the receive event once the threshold is reached.
    void Receive(const char* data, std::size_t n);
    void Fire(int16_t event);

    int16_t commPort_ = 1;
    std::string settings_ = "9600,N,8,1";
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
    std::optional<SerialError> fault_;
    std::function<void()> handler_;
    EventGuard guard_;
};

}  // namespace calvex
