#pragma once

#include <QSerialPort>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/LineFormat.h"
#include "link/SerialControlBase.h"
#include "link/qt/DeviceLineFormat.h"

namespace calvex {

// The serial control on a real device through QSerialPort. COM n is the device that the
// lookup names (by default /dev/ttyUSB<n-1>). The port opens with exactly the line format of the
// settings text (rate, parity, data bits, stop bits), read back from the device, or not at all:
// a format or rate the port refuses, or takes only in part, is an open error (SerialError).
// Written bytes go to the system at once, without waiting; only what the system has not taken yet
// counts as unsent. A device that fails or disappears while open closes the port and raises
// comm_event::kDeviceLost once.
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

    // The line format the device runs now, as its driver reports it; nothing while closed.
    std::optional<LineFormat> LineFormatInForce() const;
    // The port as it was set up, for tests.
    const QSerialPort& port() const { return port_; }
    // How the device's line format is read back (DeviceLineFormat unless a test plays a driver
    // that runs another rate than the one asked).
    using FormatReader = std::function<std::optional<LineFormat>(int fd)>;
    void formatReader(FormatReader reader) { formatReader_ = std::move(reader); }

  private:
    // Hands the format to the port; why it refused, empty when it took every part.
    std::string GiveFormat();
    // Why the open device does not run the format asked; empty when it does.
    std::string CheckFormat() const;
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    void PushOut();
    void Lose(const std::string& reason);
    void ClosePort();

    DeviceLookup lookup_;
    QSerialPort port_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::string device_;
    LineFormat format_;
    FormatReader formatReader_ = DeviceLineFormat;
    std::string out_;
    bool faulted_ = false;
};

}  // namespace calvex
