#include "rig/ReadingsHistory.h"

#include <algorithm>
#include <stdexcept>

namespace calvex {

ReadingsHistory::ReadingsHistory(std::size_t maxSamples, int64_t keepMs)
    : maxSamples_(maxSamples == 0 ? 1 : maxSamples), keepMs_(keepMs) {}

void ReadingsHistory::Add(const ReadingSample& sample) {
    DropOlderThanKeep(sample.ms);
    if (count_ == maxSamples_) DropOldest();
    if (count_ == ring_.size()) {
        // Full at its present size: grow, with the oldest sample first again.
        std::rotate(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(head_), ring_.end());
        head_ = 0;
        ring_.push_back(sample);
    } else {
        ring_[(head_ + count_) % ring_.size()] = sample;
    }
    ++count_;
    ++serial_;
}

void ReadingsHistory::DropOlderThanKeep(int64_t nowMs) {
    const std::size_t before = count_;
    while (count_ > 0 && ring_[head_].ms < nowMs - keepMs_)
        DropOldest();
    if (count_ != before) ++serial_;
}

void ReadingsHistory::Clear() {
    if (count_ == 0) return;
    head_ = count_ = 0;
    ++serial_;
}

const ReadingSample& ReadingsHistory::operator[](std::size_t i) const {
    if (i >= count_) throw std::out_of_range("reading sample index out of range");
    return ring_[(head_ + i) % ring_.size()];
}

void ReadingsHistory::DropOldest() {
    head_ = (head_ + 1) % ring_.size();
    --count_;
}

}  // namespace calvex
