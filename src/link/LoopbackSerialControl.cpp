#include "link/LoopbackSerialControl.h"

#include <algorithm>
#include <cstdlib>

#include "link/LineFormat.h"

namespace calvex {

void LoopbackSerialControl::CommPort(int16_t port) {
    if (open_) throw SerialError(deviceName(), "port number cannot change while open");
    if (port < 1) throw SerialError("COM" + std::to_string(port), "invalid port number");
    commPort_ = port;
}

void LoopbackSerialControl::Settings(const std::string& settings) {
    // The same texts as a real port takes.
    if (!ParseLineFormat(settings)) throw SerialError(deviceName(), "invalid settings");
    settings_ = settings;
}

int32_t LoopbackSerialControl::baud() const {
    return static_cast<int32_t>(std::atol(settings_.c_str()));
}

void LoopbackSerialControl::PortOpen(bool open) {
    if (open == open_) {
        // Opening an open port is an error of the control; closing a closed one is not.
        if (open) throw SerialError(deviceName(), "port already open");
        return;
    }
    if (open) {
        if (!failReason_.empty()) throw SerialError(deviceName(), failReason_);
        fault_.reset();
        in_.clear();
        out_.clear();
        peer_.toComputer();  // what arrived while closed is lost
        openedWith_.push_back(settings_);
    } else {
        // Bytes already taken by the line still reach the peer; the rest are dropped.
        in_.clear();
        out_.clear();
    }
    open_ = open;
}

void LoopbackSerialControl::InBufferSize(int16_t size) {
    if (open_) throw SerialError(deviceName(), "buffer size cannot change while open");
    inSize_ = size;
}

void LoopbackSerialControl::OutBufferSize(int16_t size) {
    if (open_) throw SerialError(deviceName(), "buffer size cannot change while open");
    outSize_ = size;
}

void LoopbackSerialControl::OutBufferCount(int16_t count) {
    if (count == 0) out_.clear();
}

void LoopbackSerialControl::Output(const std::string& bytes) {
    if (!open_) throw SerialError(deviceName(), "port not open");
    out_ += bytes;
    if (autoDrain_) drain();
}

void LoopbackSerialControl::drain() {
    if (!open_ || out_.empty()) return;
    std::string bytes;
    bytes.swap(out_);
    peer_.fromComputer(bytes, baud());
}

void LoopbackSerialControl::poll() {
    if (!open_) return;
    const std::string arrived = peer_.toComputer();
    if (arrived.empty()) return;
    Receive(arrived.data(), arrived.size());
}

void LoopbackSerialControl::raise(int16_t event) {
    Fire(event);
}

void LoopbackSerialControl::loseDevice(const std::string& reason) {
    if (!open_) return;
    open_ = false;
    in_.clear();
    out_.clear();
    fault_.emplace(deviceName(), reason);
    Fire(comm_event::kDeviceLost);
}

}  // namespace calvex
