#include "rig/TxfTable.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace calvex {

int32_t RoundHalfEven(double v) {
    const double r = std::nearbyint(v);  // the default rounding mode is ties to even
    if (!(r >= INT32_MIN && r <= INT32_MAX)) throw std::overflow_error("value out of range");
    return static_cast<int32_t>(r);
}

int16_t FindTempArea(int16_t raw) {
    for (int16_t i = 0; i <= 18; ++i) {
        if (raw < kTxfTempBorder[static_cast<std::size_t>(i) + 1]) return i;
    }
    return 19;
}

TxfComputed ComputeTxfTable(int16_t firstValue, int16_t secondValue,
                            const std::array<float, 22>& coef, int16_t raw) {
    TxfComputed c;
    auto& t = c.table;
    const float k = static_cast<float>(secondValue - firstValue) / 10.0f;  // D/A steps per ppm
    for (std::size_t i = 0; i <= 20; ++i)
        t[i] = static_cast<float>(firstValue) - k * coef[i];
    for (std::size_t i = 0; i <= 19; ++i) {
        // Slant in D/A steps per 32 temperature counts.
        t[i + 22] = (t[i + 1] - t[i]) /
                    static_cast<float>(kTxfTempBorder[i + 1] - kTxfTempBorder[i]) * 32.0f;
    }
    const auto d = static_cast<std::size_t>(FindTempArea(raw));
    const double predicted =
        std::floor(static_cast<double>(t[d]) + 0.5) +
        static_cast<double>(RoundHalfEven(t[d + 22])) * (raw - kTxfTempBorder[d]) / 32.0;
    t[44] = static_cast<float>(predicted);
    const int32_t offset = RoundHalfEven(firstValue - std::floor(static_cast<double>(t[44])));
    if (offset < INT16_MIN || offset > INT16_MAX) throw std::overflow_error("TXF offset overflow");
    c.offset = static_cast<int16_t>(offset);
    return c;
}

int16_t TxfPositionValue(const TxfComputed& computed, int16_t k) {
    const auto i = static_cast<std::size_t>(k / 2);
    if (k % 2 == 1) {
        const double v = std::floor(static_cast<double>(computed.table[i]) + 0.5) + computed.offset;
        return static_cast<int16_t>(std::clamp(RoundHalfEven(v), 0, 255));
    }
    return static_cast<int16_t>(std::clamp(RoundHalfEven(computed.table[i + 22]), -128, 127));
}

}  // namespace calvex
