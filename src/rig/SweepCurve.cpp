#include "rig/SweepCurve.h"

#include <stdexcept>

namespace calvex {

namespace {

void CheckFilter(int16_t filter) {
    if (filter < 0 || filter >= SweepCurves::kFilters) {
        throw std::out_of_range("band-pass filter index out of range");
    }
}

}  // namespace

SweepCurve& SweepCurves::recording(int16_t filter) {
    CheckFilter(filter);
    return recording_[static_cast<std::size_t>(filter)];
}

void SweepCurves::Begin(int16_t filter, bool all) {
    SweepCurve& c = recording(filter);
    c = SweepCurve{};
    c.all = all;
    recorded_[static_cast<std::size_t>(filter)] = true;
}

void SweepCurves::AddPoint(int16_t filter, int16_t setting, int16_t raw) {
    recording(filter).points.push_back({setting, raw, raw * 5.0 / 255.0});
}

void SweepCurves::Optimum(int16_t filter, int16_t firstBest, int16_t lastBest, int16_t optimum) {
    SweepCurve& c = recording(filter);
    c.firstBest = firstBest;
    c.lastBest = lastBest;
    c.optimum = optimum;
}

void SweepCurves::Settled(int16_t filter, int16_t raw) {
    recording(filter).settledRaw = raw;
}

void SweepCurves::Complete() {
    for (std::size_t f = 0; f < recorded_.size(); ++f) {
        if (!recorded_[f]) continue;
        recorded_[f] = false;
        last_[f] = std::move(recording_[f]);
        recording_[f] = SweepCurve{};
        last_[f].serial = ++serial_;
    }
}

void SweepCurves::Abandon() {
    for (std::size_t f = 0; f < recorded_.size(); ++f) {
        recorded_[f] = false;
        recording_[f] = SweepCurve{};
    }
}

void SweepCurves::Clear() {
    Abandon();
    const bool had = last_[0].serial != 0 || last_[1].serial != 0;
    last_ = {};
    if (had) ++serial_;
}

const SweepCurve& SweepCurves::Last(int16_t filter) const {
    CheckFilter(filter);
    return last_[static_cast<std::size_t>(filter)];
}

}  // namespace calvex
