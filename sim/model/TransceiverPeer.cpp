#include "model/TransceiverPeer.h"

namespace velka {

int64_t TransceiverPeer::nowMs() {
    const int32_t tick = ticks_.now();
    if (lastTick_) {
        const auto delta =
            static_cast<int32_t>(static_cast<uint32_t>(tick) - static_cast<uint32_t>(*lastTick_));
        if (delta > 0) {
            elapsedMs_ += delta;  // a clock that steps back is held, never followed
        }
    }
    lastTick_ = tick;
    return elapsedMs_;
}

void TransceiverPeer::fromComputer(const std::string& bytes, int32_t baud) {
    radio_.fromComputer(bytes, baud, nowMs());
}

std::string TransceiverPeer::toComputer() {
    const int64_t now = nowMs();
    // The loopback cannot hang up; a cut line just goes quiet.
    radio_.takeHangup(now);
    return radio_.toComputer(now);
}

}  // namespace velka
