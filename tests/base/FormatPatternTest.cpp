#include "base/FormatPattern.h"

#include <gtest/gtest.h>

namespace calvex {
namespace {

TEST(FormatPattern, PatternsOfTheProgram) {
    struct Case {
        double value;
        const char* pattern;
        const char* expected;
    } cases[] = {
        {170 * 20.0 / 255, "##0.#0V", "13.33V"},
        {0.5, "##0.#0V", "0.50V"},
        {0.0, "##0.#0V", "0.00V"},
        {9.2712, "###.#0'C", "9.27'C"},
        {0.5, "###.#0'C", ".50'C"},  // no "0" before the point: no leading zero
        {-12.345678, "###.#0'C", "-12.35'C"},
        {1.0, "0.00%", "100.00%"},
        {128 / 255.0, "0.00%", "50.20%"},
        {150.0, "###0.#####0", "150.000000"},
        {150.0015, "#000.#####0MHz", "150.001500MHz"},
        {45.5, "#000.#####0MHz", "045.500000MHz"},
        {150.0, "###0.##0", "150.000"},
        {1234.5, "###0.##0", "1234.500"},
        {0.125, "0.00", "0.12"},  // an exact tie goes to the even neighbour
        {0.375, "0.00", "0.38"},
        {2.5, "0", "2"},
        {-0.001, "0.00", "0.00"},  // no sign on a value that rounds to zero
        {1.5, "0.0#", "1.5"},      // trailing zeros go where the pattern says "#"
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatPattern(c.value, c.pattern), c.expected) << c.value << " " << c.pattern;
    }
}

TEST(FormatPattern, AlignRight) {
    EXPECT_EQ(AlignRight("13.33V", 7), " 13.33V");
    EXPECT_EQ(AlignRight("150.000", 8), " 150.000");
    EXPECT_EQ(AlignRight("123456789", 3), "123456789");
}

}  // namespace
}  // namespace calvex
