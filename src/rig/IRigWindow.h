#pragma once

#include <cstdint>
#include <string>

#include "clone/ICloneSequencer.h"
#include "console/IListBox.h"
#include "rig/RigVelkaLayout.h"

namespace calvex {

// The controls of the main window that the transceiver class drives; the desktop program
// implements it on its widgets. Indexed controls take the index first.
class IRigWindow {
  public:
    virtual ~IRigWindow() = default;

    // The three main buttons cmd00(0..2).
    virtual void cmd00Caption(int16_t i, const std::string& caption) = 0;
    virtual void cmd00Enabled(int16_t i, bool enabled) = 0;
    // The button pressed by Enter (default) and by Esc (cancel).
    virtual void cmd00Default(int16_t i, bool isDefault) = 0;
    virtual void cmd00Cancel(int16_t i, bool isCancel) = 0;
    virtual void cmd00SetFocus(int16_t i) = 0;

    // The panels fra01(0..3): 0 title, 1 console and monitors, 2 monitors, 3 parameter dump.
    virtual bool fra01Visible(int16_t i) const = 0;
    virtual void fra01Visible(int16_t i, bool visible) = 0;

    // The monitor lists lbo01(0) "[A/D]" and lbo01(1) "[D/A]", and the console list.
    virtual IListBox& lbo01(int16_t i) = 0;
    virtual IListBox& lboConsole() = 0;
    virtual void lboConsoleSetFocus() = 0;

    // How old the values of monitor list i (0 "[A/D]", 1 "[D/A]") are, shown under it; stale:
    // old enough to be doubted (the window may mark them). Told only when it changes.
    virtual void monitorAge(int16_t /*list*/, const std::string& /*text*/, bool /*stale*/) {}

    virtual void lblProgressCaption(const std::string& caption) = 0;
    virtual void txtDispParaText(const std::string& text) = 0;
    // Tells the technician that a procedure has finished.
    virtual void Beep() = 0;

    // Geometry, in twips: the screen, the window's place, and its controls' places.
    virtual double screenWidth() const = 0;
    virtual double screenHeight() const = 0;
    virtual void windowPlacement(const TwipRect& place) = 0;
    virtual LayoutInput layoutInput() const = 0;
    virtual void applyLayout(const RigVelkaLayout& layout) = 0;

    // Explains the last failed communication of seq to the user (and resets the transceiver
    // class, as every clone error does).
    virtual void MsgBoxCloneErr(ICloneSequencer& seq) = 0;
};

}  // namespace calvex
