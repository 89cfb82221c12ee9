#include "link/clsCmcTick.h"

namespace calvex {

void clsCmcTick::counter(int32_t ms) {
    tickStart_ = source_.now();
    tickPeriod_ = ms;
    tickRunning_ = true;
}

int32_t clsCmcTick::counter() {
    constexpr int64_t kQuarter = 1073741824;  // 2^30
    int64_t elapsed = 0;
    if (tickRunning_) {
        const int64_t now = source_.now();
        const int64_t start = tickStart_;
        if (now >= start) {
            // Halving first keeps the difference of two extremes within range; an elapsed time
            // beyond 31 bits cannot be told from a wrap, so the count-down is abandoned.
            if ((now >> 1) - (start >> 1) >= kQuarter) {
                tickRunning_ = false;
            } else {
                elapsed = now - start;
            }
        } else if (now <= -kQuarter && start >= kQuarter) {
            elapsed = (INT32_MAX - start) + (now - INT32_MIN);
        } else {
            tickRunning_ = false;
        }
    }
    if (!tickRunning_) return 0;
    if (tickPeriod_ > elapsed) return static_cast<int32_t>(tickPeriod_ - elapsed);
    tickRunning_ = false;
    return 0;
}

}  // namespace calvex
