#pragma once

#include <array>

namespace calvex::testing {

// The offscreen screens the Qt tests run on: the first is the platform's usual 800 x 600 at 96
// dpi; beside it stand screens of the heights the first window placement tells apart, at
// 144 dpi, where a pixel is 10 twips.
struct TestScreen {
    int x, width, height;
};
inline constexpr int kTallScreenDpi = 144;
inline constexpr std::array<TestScreen, 5> kTallScreens{{
    {1000, 1500, 700},   // 7000 twips: the least height
    {2600, 1500, 800},   // 8000: nine tenths of the screen
    {4200, 1500, 1000},  // 10000: the most
    {5800, 1500, 1001},  // 10010: taller than that, the fixed height
    {7400, 1500, 1500},  // 15000: also
}};

// Laptop screens at the usual desktop scales (96 dpi is 100 %, 120 is 125 %, 144 is 150 %), to
// the right of the tall ones.
struct ScaledScreen {
    int x, width, height, dpi;
};
inline constexpr std::array<ScaledScreen, 4> kSmallScreens{{
    {9000, 1366, 768, 96},
    {10500, 1366, 768, 120},
    {12000, 1366, 768, 144},
    {13500, 1280, 800, 96},
}};

}  // namespace calvex::testing
