#include "rig/TxfTable.h"

#include <gtest/gtest.h>

namespace calvex {
namespace {

TEST(TxfTable, TemperatureAreas) {
    struct Case {
        int16_t raw, area;
    } cases[] = {{0, 0},    {15, 0},   {16, 1},   {23, 1},  {24, 2},
                 {128, 10}, {239, 18}, {240, 19}, {255, 19}};
    for (const auto& c : cases)
        EXPECT_EQ(FindTempArea(c.raw), c.area) << c.raw;
}

TEST(TxfTable, AllZeroCoefficientsGiveAFlatTable) {
    const auto c = ComputeTxfTable(100, 120, {}, 128);
    EXPECT_EQ(c.offset, 0);
    for (int16_t k = 0; k < 40; ++k)
        EXPECT_EQ(TxfPositionValue(c, k), k % 2 ? 100 : 0) << k;
}

TEST(TxfTable, WorkedExampleWithOffset) {
    // One D/A step per ppm; the crystal drifts 1 ppm per border.
    std::array<float, 22> coef{};
    for (std::size_t i = 0; i <= 20; ++i)
        coef[i] = static_cast<float>(i);
    // At raw 20 (area 1): table(1) = 99, slant(1) = -4; predicted 99 - 4 * 4 / 32 = 98.5.
    const auto c = ComputeTxfTable(100, 110, coef, 20);
    EXPECT_FLOAT_EQ(c.table[44], 98.5f);
    EXPECT_EQ(c.offset, 2);
    EXPECT_EQ(TxfPositionValue(c, 0), -2);   // slant of area 0: -1 over 16 counts
    EXPECT_EQ(TxfPositionValue(c, 1), 102);  // 100 + offset
    EXPECT_EQ(TxfPositionValue(c, 2), -4);
    EXPECT_EQ(TxfPositionValue(c, 3), 101);
    EXPECT_EQ(TxfPositionValue(c, 39), 100 - 19 + 2);
}

TEST(TxfTable, ValuesAreClamped) {
    std::array<float, 22> coef{};
    coef[1] = 100;   // table(1) = 28: slant of area 0 is -200
    coef[2] = -172;  // table(2) = 300
    const auto c = ComputeTxfTable(128, 138, coef, 200);
    EXPECT_EQ(c.offset, 0);
    EXPECT_EQ(TxfPositionValue(c, 0), -128);
    EXPECT_EQ(TxfPositionValue(c, 1), 128);
    EXPECT_EQ(TxfPositionValue(c, 2), 127);  // +1088
    EXPECT_EQ(TxfPositionValue(c, 3), 28);
    EXPECT_EQ(TxfPositionValue(c, 4), -128);
    EXPECT_EQ(TxfPositionValue(c, 5), 255);  // 300
}

TEST(TxfTable, ConstantsUpToTheLimitAreCarriedBeyondItNot) {
    // The worst cases: the widest spread of settings, coefficients swinging from one end of
    // the range to the other, every temperature.
    std::array<float, 22> swing{};
    for (std::size_t i = 0; i <= 20; ++i)
        swing[i] = i % 2 ? kTxfCoefLimit : -kTxfCoefLimit;
    std::array<float, 22> flat{};
    flat.fill(kTxfCoefLimit);
    for (const auto& coef : {swing, flat}) {
        for (const auto& [first, second] : {std::pair<int16_t, int16_t>{0, 255}, {255, 0}}) {
            for (int16_t raw = 0; raw <= 255; ++raw) {
                const auto c = ComputeTxfTable(first, second, coef, raw);
                for (int16_t k = 0; k < 40; ++k)
                    (void)TxfPositionValue(c, k);
            }
        }
    }
    // Far beyond it the offset no longer fits: an error, never a wrapped value.
    std::array<float, 22> huge{};
    huge.fill(2000.0f);
    EXPECT_THROW(ComputeTxfTable(0, 255, huge, 128), std::overflow_error);
}

TEST(TxfTable, RoundingTiesToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
}

}  // namespace
}  // namespace calvex
