#include "link/SerialControlBase.h"

#include <algorithm>

namespace calvex {

std::string SerialControlBase::Input() {
    std::string taken;
    if (inputLen_ <= 0 || static_cast<std::size_t>(inputLen_) >= in_.size()) {
        taken.swap(in_);
    } else {
        taken = in_.substr(0, static_cast<std::size_t>(inputLen_));
        in_.erase(0, static_cast<std::size_t>(inputLen_));
    }
    return taken;
}

void SerialControlBase::Receive(const char* data, std::size_t n) {
    const auto size = static_cast<std::size_t>(std::max<int16_t>(inSize_, 0));
    const std::size_t room = in_.size() < size ? size - in_.size() : 0;
    in_.append(data, std::min(room, n));
    if (n > room) {
        Fire(comm_event::kRxOver);
    } else if (rThreshold_ > 0 && in_.size() >= static_cast<std::size_t>(rThreshold_)) {
        Fire(comm_event::kReceive);
    }
}

void SerialControlBase::Fire(int16_t event) {
    commEvent_ = event;
    if (!handler_) return;
    if (guard_) {
        guard_(handler_);
    } else {
        handler_();
    }
}

}  // namespace calvex
