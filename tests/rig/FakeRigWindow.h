#pragma once

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "console/FakeListBox.h"
#include "rig/IRigWindow.h"

namespace calvex::testing {

// The main window's controls as plain fields.
class FakeRigWindow : public IRigWindow {
  public:
    struct Button {
        std::string caption;
        bool enabled = true;
        bool isDefault = false;
        bool isCancel = false;
    };

    void cmd00Caption(int16_t i, const std::string& caption) override {
        button(i).caption = caption;
    }
    void cmd00Enabled(int16_t i, bool enabled) override { button(i).enabled = enabled; }
    void cmd00Default(int16_t i, bool isDefault) override { button(i).isDefault = isDefault; }
    void cmd00Cancel(int16_t i, bool isCancel) override { button(i).isCancel = isCancel; }
    void cmd00SetFocus(int16_t i) override { focus = "cmd00(" + std::to_string(i) + ")"; }
    bool fra01Visible(int16_t i) const override { return panels.at(static_cast<std::size_t>(i)); }
    void fra01Visible(int16_t i, bool visible) override {
        panels.at(static_cast<std::size_t>(i)) = visible;
    }
    IListBox& lbo01(int16_t i) override { return monitors.at(static_cast<std::size_t>(i)); }
    IListBox& lboConsole() override { return console; }
    void lboConsoleSetFocus() override { focus = "lboConsole"; }
    void lblProgressCaption(const std::string& caption) override { progress = caption; }
    void monitorAge(int16_t list, const std::string& text, bool stale) override {
        ages.push_back({list, text, stale});
    }
    void txtDispParaText(const std::string& text) override { dispPara = text; }
    void MsgBoxCloneErr(ICloneSequencer&) override {
        ++cloneErrorMessages;
        if (onCloneError) onCloneError();
    }
    void Beep() override { ++beeps; }
    double screenWidth() const override { return screen[0]; }
    double screenHeight() const override { return screen[1]; }
    void windowPlacement(const TwipRect& place) override {
        placement = place;
        ++placements;
    }
    LayoutInput layoutInput() const override { return input; }
    void applyLayout(const RigVelkaLayout& l) override {
        layout = l;
        ++layouts;
    }

    Button& button(int16_t i) { return buttons.at(static_cast<std::size_t>(i)); }

    // What was said of a monitor list's age, in order.
    struct Age {
        int16_t list;
        std::string text;
        bool stale;
        bool operator==(const Age&) const = default;
        friend void PrintTo(const Age& a, std::ostream* os) {
            *os << a.list << " \"" << a.text << "\"" << (a.stale ? " stale" : "");
        }
    };
    // The last age said of list (empty text: none yet).
    Age lastAge(int16_t list) const {
        for (auto it = ages.rbegin(); it != ages.rend(); ++it)
            if (it->list == list) return *it;
        return {list, "", false};
    }

    std::array<Button, 3> buttons;
    std::array<bool, 4> panels{};
    std::array<FakeListBox, 2> monitors;
    FakeListBox console;
    std::string focus;
    std::string progress;
    std::vector<Age> ages;
    std::string dispPara;
    int cloneErrorMessages = 0;
    int beeps = 0;
    std::array<double, 2> screen{19200, 10800};
    TwipRect placement;
    int placements = 0;
    LayoutInput input;
    RigVelkaLayout layout;
    int layouts = 0;
    // What the real window does on a clone error: the program's composed report.
    std::function<void()> onCloneError;
};

}  // namespace calvex::testing
