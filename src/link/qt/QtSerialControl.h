#pragma once

#include <QSerialPort>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/ISerialControl.h"

namespace calvex {

// The serial control on a real device through QSerialPort. COM n is the device that the
// lookup names (by default /dev/ttyUSB<n-1>). Written bytes go to the system at once, without
// waiting; only what the system has not taken yet counts as unsent. A device that fails or
// disappears while open closes the port and raises comm_event::kDeviceLost once.
class QtSerialControl : public ISerialControl {
  public:
    using DeviceLookup = std::function<std::string(int16_t)>;

    explicit QtSerialControl(DeviceLookup lookup = {});
    ~QtSerialControl() override;

    static std::string DefaultDevice(int16_t port);

    int16_t CommPort() const override { return commPort_; }
    void CommPort(int16_t port) override;
    std::string Settings() const override { return settings_; }
    void Settings(const std::string& settings) override;
    bool PortOpen() const override { return port_.isOpen(); }
    void PortOpen(bool open) override;
    bool DTREnable() const override { return dtr_; }
    void DTREnable(bool on) override;
    bool RTSEnable() const override { return rts_; }
    void RTSEnable(bool on) override;
    int16_t InBufferSize() const override { return inSize_; }
    void InBufferSize(int16_t size) override;
    int16_t OutBufferSize() const override { return outSize_; }
    void OutBufferSize(int16_t size) override;
    int16_t InBufferCount() const override;
    int16_t OutBufferCount() const override;
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

  private:
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    void PushOut();
    void Lose(const std::string& reason);
    void ClosePort();
    void Fire(int16_t event);

    DeviceLookup lookup_;
    QSerialPort port_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::string device_;
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
    std::string out_;
    bool faulted_ = false;
    std::optional<SerialError> fault_;
    std::function<void()> handler_;
};

}  // namespace calvex
