#include "rig/RigVelkaLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace calvex {
namespace {

TEST(RigVelkaLayout, FirstWindowHeight) {
    struct Case {
        double screen, height;
    } cases[] = {{7000, 6600}, {8000, 7200}, {10000, 9000}, {10005, 8500}, {15000, 8500}};
    for (const auto& c : cases) {
        const TwipRect w = FirstWindowPlacement(12000, c.screen);
        EXPECT_EQ(w.height, c.height) << c.screen;
        EXPECT_EQ(w.width, 9525);
        EXPECT_DOUBLE_EQ(w.left, (12000 - 9525) / 2.0);
        EXPECT_DOUBLE_EQ(w.top, (c.screen - c.height) * 0.3);
    }
}

TEST(RigVelkaLayout, ControlsOfANormalWindow) {
    LayoutInput in;
    in.innerWidth = 9405;
    in.innerHeight = 7800;
    in.lineX1 = 0;
    in.lineX2 = 9405;
    in.lineY1 = 15;
    in.titleWidth = 4000;
    in.titleHeight = 700;
    in.progressWidth = 3000;
    const RigVelkaLayout l = ComputeRigVelkaLayout(in);

    // A centred row of buttons 120 apart, 120 below the line.
    EXPECT_DOUBLE_EQ(l.cmd00[0].left, (9405 - 5640) / 2.0);
    EXPECT_DOUBLE_EQ(l.cmd00[1].left - l.cmd00[0].left, 1920);
    EXPECT_DOUBLE_EQ(l.cmd00[2].top, 135);
    EXPECT_DOUBLE_EQ(l.cmd00[2].height, 330);

    const TwipRect& panel = l.fra01[0];
    EXPECT_DOUBLE_EQ(panel.top, 465);
    EXPECT_DOUBLE_EQ(panel.width, 9165);
    EXPECT_DOUBLE_EQ(panel.height, 7800 - 465 - 120);
    EXPECT_DOUBLE_EQ(l.fra01[3].height, panel.height);

    EXPECT_DOUBLE_EQ(l.fra01[2].width, 8925);
    EXPECT_DOUBLE_EQ(l.lbo01[0].width, (8925 - 360) / 2.0);
    EXPECT_DOUBLE_EQ(l.lbo01[1].left, 120 + l.lbo01[0].width + 120);
    EXPECT_DOUBLE_EQ(l.lbo01[1].height, 2680);

    EXPECT_DOUBLE_EQ(l.lboConsole.left, 240);
    EXPECT_DOUBLE_EQ(l.lboConsole.top, 3100);
    EXPECT_DOUBLE_EQ(l.lboConsole.width, 9165 - 480);
    EXPECT_DOUBLE_EQ(l.lboConsole.height, panel.height - 3100 - 180);

    EXPECT_DOUBLE_EQ(l.lblTitleLeft, (9165 - 4000) / 2.0);
    EXPECT_DOUBLE_EQ(l.lblProgressTop, 240 + 700 + 240);
    EXPECT_DOUBLE_EQ(l.txtDispPara.height, panel.height - 360);
}

// Overlap of two places in the same container.
bool Overlap(const TwipRect& a, const TwipRect& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.bottom() &&
           b.top < a.bottom();
}

TEST(RigVelkaLayout, AShortWindowShrinksTheMonitorListsBeforeTheConsole) {
    constexpr double kConsole = 3400;  // fourteen lines
    constexpr double kLabel = 1500;
    const TwipSize least = MinimumClientSize(kLabel, kConsole);
    struct Case {
        double height;
        double monitors;  // the monitor panel's height
    } cases[] = {
        {12000, 2800},         // room for all: as designed
        {least.height, 1000},  // the least: lists at their least, the console whole
        {least.height + 900, 1900},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        LayoutInput in;
        in.innerWidth = least.width;
        in.innerHeight = c.height;
        in.lineX2 = in.innerWidth;
        in.lineY1 = 15;
        in.consoleNeeded = kConsole;
        const RigVelkaLayout l = ComputeRigVelkaLayout(in);
        // Within the separator line's allowance.
        EXPECT_NEAR(l.fra01[2].height, c.monitors, 30);
        EXPECT_GE(l.fra01[2].height, 1000);
        EXPECT_GE(l.lboConsole.height, kConsole);
        EXPECT_LE(l.fra01[1].top + l.lboConsole.bottom(), in.innerHeight);
        EXPECT_FALSE(Overlap(l.fra01[2], l.lboConsole));
        // The buttons clear the port label at the left edge.
        EXPECT_GE(l.cmd00[0].left, 120 + kLabel + 120);
        for (std::size_t i = 0; i + 1 < l.cmd00.size(); ++i)
            EXPECT_FALSE(Overlap(l.cmd00[i], l.cmd00[i + 1]));
    }
    // Without a need of the console's, the lists keep the designed height in any window.
    LayoutInput plain;
    plain.innerWidth = 9405;
    plain.innerHeight = 5000;
    EXPECT_DOUBLE_EQ(ComputeRigVelkaLayout(plain).fra01[2].height, 2800);
}

TEST(RigVelkaLayout, ATinyWindowKeepsSizesValid) {
    LayoutInput in;
    in.innerWidth = 200;
    in.innerHeight = 500;
    const RigVelkaLayout l = ComputeRigVelkaLayout(in);
    EXPECT_EQ(l.fra01[0].width, 0);
    EXPECT_EQ(l.fra01[0].height, 1);
    EXPECT_EQ(l.lbo01[0].width, 0);
    EXPECT_EQ(l.lboConsole.width, 0);
    EXPECT_EQ(l.lboConsole.height, 1);
    EXPECT_EQ(l.txtDispPara.height, 1);
}

}  // namespace
}  // namespace calvex

#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using RigLayout = testing::RigVelkaFixture;

TEST_F(RigLayout, OnlyTheFirstLayoutPlacesTheWindow) {
    window.screen = {19200, 8000};
    window.input.innerWidth = 9405;
    rig.RigOpFunc_FormLayout();
    EXPECT_EQ(window.placements, 1);
    EXPECT_EQ(window.placement.height, 7200);
    rig.RigOpFunc_FormLayout();
    EXPECT_EQ(window.placements, 1);
    EXPECT_EQ(window.layouts, 2);
    EXPECT_DOUBLE_EQ(window.layout.fra01[1].width, 9165);
}

void ExpectRect(const TwipRect& actual, const TwipRect& expected, const std::string& name) {
    SCOPED_TRACE(name);
    EXPECT_DOUBLE_EQ(actual.left, expected.left);
    EXPECT_DOUBLE_EQ(actual.top, expected.top);
    EXPECT_DOUBLE_EQ(actual.width, expected.width);
    EXPECT_DOUBLE_EQ(actual.height, expected.height);
}

TEST_F(RigLayout, TheFirstLayoutPlacesTheWindowAndEveryControl) {
    window.screen = {19200, 10800};
    window.input.innerWidth = 9400;
    window.input.innerHeight = 7800;
    window.input.lineX1 = 40;
    window.input.lineX2 = 9360;
    window.input.lineY1 = 15;
    window.input.titleWidth = 4000;
    window.input.titleHeight = 700;
    window.input.progressWidth = 3000;
    rig.RigOpFunc_FormLayout();
    ASSERT_EQ(window.layouts, 1);
    const RigVelkaLayout& l = window.layout;

    // 9720 twips of nine tenths is above 9000: 8500 high.
    ExpectRect(window.placement, {4837.5, 690, 9525, 8500}, "window");
    // The row of buttons: 3 x 1800 + 240 = 5640 wide, centred on the 9320 of the line.
    ExpectRect(l.cmd00[0], {1880, 135, 1800, 330}, "cmd00(0)");
    ExpectRect(l.cmd00[1], {3800, 135, 1800, 330}, "cmd00(1)");
    ExpectRect(l.cmd00[2], {5720, 135, 1800, 330}, "cmd00(2)");
    // Title, console and dump panels below the buttons: 9400 - 240 wide, 7800 - 465 - 120 high.
    for (const std::size_t i : {0u, 1u, 3u}) {
        ExpectRect(l.fra01[i], {120, 465, 9160, 7215}, "fra01(" + std::to_string(i) + ")");
    }
    ExpectRect(l.fra01[2], {120, 180, 8920, 2800}, "fra01(2)");
    ExpectRect(l.lbo01[0], {120, 120, 4280, 2680}, "lbo01(0)");
    ExpectRect(l.lbo01[1], {4520, 120, 4280, 2680}, "lbo01(1)");
    ExpectRect(l.lboConsole, {240, 3100, 8680, 3935}, "lboConsole");
    EXPECT_DOUBLE_EQ(l.lblTitleLeft, 2580);
    EXPECT_DOUBLE_EQ(l.lblTitleTop, 240);
    EXPECT_DOUBLE_EQ(l.lblProgressLeft, 3080);
    EXPECT_DOUBLE_EQ(l.lblProgressTop, 1180);
    ExpectRect(l.txtDispPara, {120, 240, 8920, 6855}, "txtDispPara");
}

}  // namespace
}  // namespace calvex
