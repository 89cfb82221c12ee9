#include "rig/RigVelkaLayout.h"

#include <algorithm>

#include "rig/TxfTable.h"

namespace calvex {

namespace {

constexpr double kMargin = 120;
constexpr double kButtonWidth = 1800;
constexpr double kButtonHeight = 330;
constexpr double kMonitorHeight = 2800;

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
    const double rowWidth = 3 * kButtonWidth + 2 * kMargin;
    for (std::size_t i = 0; i < 3; ++i) {
        l.cmd00[i] = {in.lineX1 + ((in.lineX2 - in.lineX1) - rowWidth) / 2 +
                          static_cast<double>(i) * (kButtonWidth + kMargin),
                      in.lineY1 + kMargin, kButtonWidth, kButtonHeight};
    }

    // The title, console and dump panels share one rectangle below the buttons.
    TwipRect panel{kMargin, l.cmd00[2].bottom(), atLeast(in.innerWidth - 2 * kMargin, 0), 0};
    panel.height = atLeast(in.innerHeight - panel.top - kMargin, 1);
    l.fra01[0] = l.fra01[1] = l.fra01[3] = panel;

    l.fra01[2] = {kMargin, 180, atLeast(panel.width - 2 * kMargin, 0), kMonitorHeight};
    const double listWidth = atLeast((l.fra01[2].width - 3 * kMargin) / 2, 0);
    l.lbo01[0] = {kMargin, kMargin, listWidth, kMonitorHeight - kMargin};
    l.lbo01[1] = {kMargin + listWidth + kMargin, kMargin, listWidth, kMonitorHeight - kMargin};

    l.lboConsole.left = l.fra01[2].left + kMargin;
    l.lboConsole.top = l.fra01[2].bottom() + kMargin;
    l.lboConsole.width = atLeast(panel.width - 4 * kMargin, 0);
    l.lboConsole.height = atLeast(panel.height - l.lboConsole.top - 180, 1);

    l.lblTitleLeft = (panel.width - in.titleWidth) / 2;
    l.lblTitleTop = 240;
    l.lblProgressLeft = (panel.width - in.progressWidth) / 2;
    l.lblProgressTop = l.lblTitleTop + in.titleHeight + 240;

    l.txtDispPara = {kMargin, 240, atLeast(panel.width - 2 * kMargin, 0),
                     atLeast(panel.height - 360, 1)};
    return l;
}

}  // namespace calvex
