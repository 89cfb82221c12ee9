#pragma once

#include <QSerialPort>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/SerialControlBase.h"

namespace calvex {

// The serial control on a real device through QSerialPort. COM n is the device that the
// lookup names (by default /dev/ttyUSB<n-1>). Written bytes go to the system at once, without
// waiting; only what the system has not taken yet counts as unsent. A device that fails or
// disappears while open closes the port and raises comm_event::kDeviceLost once.
class QtSerialControl : public SerialControlBase {
  public:
    // The getters of the overloaded properties come from the base.
    using SerialControlBase::CommPort;
    using SerialControlBase::DTREnable;
    using SerialControlBase::InBufferSize;
    using SerialControlBase::OutBufferSize;
    using SerialControlBase::RTSEnable;
    using SerialControlBase::Settings;

    using DeviceLookup = std::function<std::string(int16_t)>;

    explicit QtSerialControl(DeviceLookup lookup = {});
    ~QtSerialControl() override;

    static std::string DefaultDevice(int16_t port);

    void CommPort(int16_t port) override;
    void Settings(const std::string& settings) override;
    // A port whose device failed counts as closed at once, before its queued close has run.
    bool PortOpen() const override { return port_.isOpen() && !faulted_; }
    void PortOpen(bool open) override;
    void DTREnable(bool on) override;
    void RTSEnable(bool on) override;
    void InBufferSize(int16_t size) override;
    void OutBufferSize(int16_t size) override;
    int16_t OutBufferCount() const override;
    void OutBufferCount(int16_t count) override;
    void Output(const std::string& bytes) override;

  private:
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    void PushOut();
    void Lose(const std::string& reason);
    void ClosePort();

    DeviceLookup lookup_;
    QSerialPort port_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::string device_;
    std::string out_;
    bool faulted_ = false;
};

}  // namespace calvex
