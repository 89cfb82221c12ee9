#pragma once

#include <cmath>
#include <cstdint>

namespace calvex {

// Narrow level from the wide level and the ratio in 1/255 steps.
inline int16_t NarrowLevel(int16_t wide, int16_t ratio) {
    return static_cast<int16_t>(std::floor(wide * ratio / 255.0 + 0.5));
}

// The ratio item's value after a read: narrow as a fraction of wide in 1/255 steps. A narrow
// level above a zero wide level has no ratio; the item's maximum stands for it.
inline int16_t RatioOf(int16_t wide, int16_t narrow, int16_t maxValue) {
    if (narrow == 0) return 0;
    if (wide == 0) return maxValue;
    return static_cast<int16_t>(std::floor(narrow * 255.0 / wide + 0.5));
}

}  // namespace calvex
