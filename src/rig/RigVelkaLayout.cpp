#include "rig/RigVelkaLayout.h"

#include <algorithm>

#include "rig/TxfTable.h"

namespace calvex {

namespace {

constexpr double kMargin = 120;
constexpr double kButtonWidth = 1800;
constexpr double kButtonHeight = 330;
// The panels' fixed parts: the monitor panel's top, the gaps above and below the console.
constexpr double kMonitorTop = 180;
constexpr double kConsoleBottomGap = 180;
constexpr double kRowWidth = 3 * kButtonWidth + 2 * kMargin;

double atLeast(double v, double low) {
    return std::max(v, low);
}

}  // namespace

TwipRect FirstWindowPlacement(double screenWidth, double screenHeight) {
    constexpr double kWidth = 9525;
    double h = RoundHalfEven(screenHeight * 0.9);
    if (h < 6600) h = 6600;
    if (h > 9000) h = 8500;
    return {(screenWidth - kWidth) / 2, (screenHeight - h) * 0.3, kWidth, h};
}

RigVelkaLayout ComputeRigVelkaLayout(const LayoutInput& in) {
    RigVelkaLayout l;
    // The three buttons: a centred row under the separator line.
    for (std::size_t i = 0; i < 3; ++i) {
        l.cmd00[i] = {in.lineX1 + ((in.lineX2 - in.lineX1) - kRowWidth) / 2 +
                          static_cast<double>(i) * (kButtonWidth + kMargin),
                      in.lineY1 + kMargin, kButtonWidth, kButtonHeight};
    }

    // The title, console and dump panels share one rectangle below the buttons.
    TwipRect panel{kMargin, l.cmd00[2].bottom(), atLeast(in.innerWidth - 2 * kMargin, 0), 0};
    panel.height = atLeast(in.innerHeight - panel.top - kMargin, 1);
    l.fra01[0] = l.fra01[1] = l.fra01[3] = panel;

    // A window too short for the console's lines takes the room from the monitor lists first.
    double monitorHeight = kMonitorFullHeight;
    if (in.consoleNeeded > 0) {
        const double room =
            panel.height - kMonitorTop - kMargin - in.consoleNeeded - kConsoleBottomGap;
        monitorHeight = std::clamp(room, kMonitorLeastHeight, kMonitorFullHeight);
    }
    l.fra01[2] = {kMargin, kMonitorTop, atLeast(panel.width - 2 * kMargin, 0), monitorHeight};
    const double listWidth = atLeast((l.fra01[2].width - 3 * kMargin) / 2, 0);
    l.lbo01[0] = {kMargin, kMargin, listWidth, monitorHeight - kMargin};
    l.lbo01[1] = {kMargin + listWidth + kMargin, kMargin, listWidth, monitorHeight - kMargin};

    l.lboConsole.left = l.fra01[2].left + kMargin;
    l.lboConsole.top = l.fra01[2].bottom() + kMargin;
    l.lboConsole.width = atLeast(panel.width - 4 * kMargin, 0);
    l.lboConsole.height = atLeast(panel.height - l.lboConsole.top - kConsoleBottomGap, 1);

    l.lblTitleLeft = (panel.width - in.titleWidth) / 2;
    l.lblTitleTop = 240;
    l.lblProgressLeft = (panel.width - in.progressWidth) / 2;
    l.lblProgressTop = l.lblTitleTop + in.titleHeight + 240;

    l.txtDispPara = {kMargin, 240, atLeast(panel.width - 2 * kMargin, 0),
                     atLeast(panel.height - 360, 1)};
    return l;
}

TwipSize MinimumClientSize(double portLabelWidth, double consoleNeeded) {
    // The port label sits at kMargin; the centred buttons keep a margin from it on both sides.
    const double width = kRowWidth + 2 * (kMargin + portLabelWidth + kMargin);
    // Below the separator line, which lies within the first two pixels.
    constexpr double kLineAllowance = 30;
    const double buttonsBottom = kLineAllowance + kMargin + kButtonHeight;
    const double panel =
        kMonitorTop + kMonitorLeastHeight + kMargin + consoleNeeded + kConsoleBottomGap;
    return {width, buttonsBottom + panel + kMargin};
}

}  // namespace calvex
