#pragma once

#include <cstdlib>
#include <string>

#include "link/ISerialControl.h"

namespace calvex {

// A serial control that passes every call on to another one, noting the line rate set; a
// subclass overrides what it wants to watch (the bytes, the settings).
class ForwardingSerialControl : public ISerialControl {
  public:
    explicit ForwardingSerialControl(ISerialControl& inner) : in_(inner) {}

    void CommPort(int16_t port) override { in_.CommPort(port); }
    void Settings(const std::string& settings) override {
        in_.Settings(settings);
        baud_ = static_cast<int32_t>(std::atol(settings.c_str()));
    }
    bool PortOpen() const override { return in_.PortOpen(); }
    void PortOpen(bool open) override { in_.PortOpen(open); }
    void DTREnable(bool on) override { in_.DTREnable(on); }
    void RTSEnable(bool on) override { in_.RTSEnable(on); }
    void InBufferSize(int16_t size) override { in_.InBufferSize(size); }
    int16_t OutBufferSize() const override { return in_.OutBufferSize(); }
    void OutBufferSize(int16_t size) override { in_.OutBufferSize(size); }
    int16_t InBufferCount() const override { return in_.InBufferCount(); }
    int16_t OutBufferCount() const override { return in_.OutBufferCount(); }
    void OutBufferCount(int16_t count) override { in_.OutBufferCount(count); }
    void InputLen(int16_t len) override { in_.InputLen(len); }
    void InputMode(int16_t mode) override { in_.InputMode(mode); }
    void RThreshold(int16_t count) override { in_.RThreshold(count); }
    void SThreshold(int16_t count) override { in_.SThreshold(count); }
    std::string Input() override { return in_.Input(); }
    void Output(const std::string& bytes) override { in_.Output(bytes); }
    int16_t CommEvent() const override { return in_.CommEvent(); }
    void OnComm(std::function<void()> handler) override { in_.OnComm(std::move(handler)); }
    const SerialError* LastFault() const override { return in_.LastFault(); }

  protected:
    // The line rate of the last settings ("9600,N,8,1" gives 9600).
    int32_t baud() const { return baud_; }

  private:
    ISerialControl& in_;
    int32_t baud_ = 9600;
};

}  // namespace calvex
