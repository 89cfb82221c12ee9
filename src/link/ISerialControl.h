#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace calvex {

// Raised by a serial control when the port or one of its buffers cannot be set up. Keeps the
// device path and the system's reason so that the user can be told more than the port number.
class SerialError : public std::runtime_error {
  public:
    SerialError(const std::string& device, const std::string& reason)
        : std::runtime_error(device.empty() ? reason : device + ": " + reason),
          device_(device),
          reason_(reason) {}
    const std::string& device() const { return device_; }
    const std::string& reason() const { return reason_; }

  private:
    std::string device_;
    std::string reason_;
};

// Codes of the control's communication event (CommEvent).
namespace comm_event {
inline constexpr int16_t kSend = 1;
inline constexpr int16_t kReceive = 2;
inline constexpr int16_t kBreak = 1001;
inline constexpr int16_t kCtsTimeout = 1002;
inline constexpr int16_t kDsrTimeout = 1003;
inline constexpr int16_t kFrame = 1004;
inline constexpr int16_t kOverrun = 1006;
inline constexpr int16_t kCdTimeout = 1007;
inline constexpr int16_t kRxOver = 1008;
inline constexpr int16_t kRxParity = 1009;
inline constexpr int16_t kTxFull = 1010;
inline constexpr int16_t kDcb = 1011;
// The device failed or went away while open; the control has closed the port (LastFault).
inline constexpr int16_t kDeviceLost = 1100;
}  // namespace comm_event

// Input modes.
inline constexpr int16_t kInputModeText = 0;
inline constexpr int16_t kInputModeBinary = 1;

// What the serial port form and the clone driver do with a serial communications control: set
// it up, open and close it, move bytes and hear its events. The real one drives a device; a
// loopback one joins the program to a simulated or scripted transceiver. Reading back the
// settings is each control's own business. Setting PortOpen(true) or a buffer size on a device
// that refuses throws SerialError.
class ISerialControl {
  public:
    virtual ~ISerialControl() = default;

    virtual void CommPort(int16_t port) = 0;
    // "9600,N,8,1": baud, parity letter, data bits, stop bits.
    virtual void Settings(const std::string& settings) = 0;
    virtual bool PortOpen() const = 0;
    virtual void PortOpen(bool open) = 0;
    virtual void DTREnable(bool on) = 0;
    virtual void RTSEnable(bool on) = 0;
    virtual void InBufferSize(int16_t size) = 0;
    virtual int16_t OutBufferSize() const = 0;
    virtual void OutBufferSize(int16_t size) = 0;
    // Bytes waiting to be read.
    virtual int16_t InBufferCount() const = 0;
    // Bytes waiting to be sent; writing 0 discards those not yet handed to the line.
    virtual int16_t OutBufferCount() const = 0;
    virtual void OutBufferCount(int16_t count) = 0;
    // Bytes a read takes; 0 takes every waiting byte.
    virtual void InputLen(int16_t len) = 0;
    virtual void InputMode(int16_t mode) = 0;
    virtual void RThreshold(int16_t count) = 0;
    virtual void SThreshold(int16_t count) = 0;
    // Removes and returns the waiting bytes.
    virtual std::string Input() = 0;
    // Queues bytes for sending without waiting.
    virtual void Output(const std::string& bytes) = 0;
    // The reason of the last event (comm_event codes).
    virtual int16_t CommEvent() const = 0;
    // The event itself; the handler runs on the program's thread.
    virtual void OnComm(std::function<void()> handler) = 0;
    // Why the port was lost (kDeviceLost), or null; valid until the port is opened again.
    virtual const SerialError* LastFault() const { return nullptr; }
};

}  // namespace calvex
