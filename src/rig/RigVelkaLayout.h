#pragma once

#include <array>

namespace calvex {

// Window geometry in twips (1/1440 inch), relative to each control's container.
struct TwipRect {
    double left = 0, top = 0, width = 0, height = 0;
    double bottom() const { return top + height; }
};

// What the layout needs to know of the window as it stands.
struct LayoutInput {
    double innerWidth = 0, innerHeight = 0;     // the client area
    double lineX1 = 0, lineX2 = 0, lineY1 = 0;  // the separator line above the buttons
    double titleWidth = 0, titleHeight = 0;     // the title label's own size
    double progressWidth = 0;                   // the progress label's own width
    // The console's height with every line shown; 0: no need (the monitor lists keep their
    // full height whatever the console is left with).
    double consoleNeeded = 0;
};

// The monitor lists' full height, and the least they shrink to (a short window gives the
// console its lines first; the lists scroll).
inline constexpr double kMonitorFullHeight = 2800;
inline constexpr double kMonitorLeastHeight = 1000;

// The least client area (below the menu bar) at which no control covers another and the
// console shows every line: the port label of portLabelWidth left of the centred buttons, the
// monitor lists at their least, the console at consoleNeeded.
struct TwipSize {
    double width = 0, height = 0;
};
TwipSize MinimumClientSize(double portLabelWidth, double consoleNeeded);

// Where every control of the main window goes.
struct RigVelkaLayout {
    std::array<TwipRect, 3> cmd00;
    std::array<TwipRect, 4> fra01;
    std::array<TwipRect, 2> lbo01;
    TwipRect lboConsole;
    double lblTitleLeft = 0, lblTitleTop = 0;
    double lblProgressLeft = 0, lblProgressTop = 0;
    TwipRect txtDispPara;
};

// Size and place of the window on its first layout: 9525 wide, nine tenths of the screen high
// within 6600..9000 (a taller screen gets 8500), centred across, in the upper part down.
TwipRect FirstWindowPlacement(double screenWidth, double screenHeight);

// The controls' places for the window as it stands. Widths never go below 0 and the panels'
// heights never below 1, however small the window.
RigVelkaLayout ComputeRigVelkaLayout(const LayoutInput& in);

}  // namespace calvex
