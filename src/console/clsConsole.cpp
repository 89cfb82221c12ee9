#include "console/clsConsole.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "base/Common.h"

namespace calvex {

namespace {

int16_t checked16(int32_t v, const char* what) {
    if (v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max()) {
        throw std::overflow_error(what);
    }
    return static_cast<int16_t>(v);
}

}  // namespace

void clsConsole::Initialise() {
    myItems.clear();
    myItems.shrink_to_fit();
    myItemCount = 0;
    myBarLength = 20;
}

ConsoleItem& clsConsole::item(int16_t i) {
    if (i < 0 || i >= myItemCount) throw std::out_of_range("console item index out of range");
    return myItems[static_cast<std::size_t>(i)];
}

const ConsoleItem& clsConsole::item(int16_t i) const {
    if (i < 0 || i >= myItemCount) throw std::out_of_range("console item index out of range");
    return myItems[static_cast<std::size_t>(i)];
}

IListBox& clsConsole::listBox() const {
    if (myListBox_ == nullptr) throw std::logic_error("console has no list box");
    return *myListBox_;
}

IConsoleEvents& clsConsole::eventClass() const {
    if (myEventClass_ == nullptr) throw std::logic_error("console has no event sink");
    return *myEventClass_;
}

void clsConsole::Clear() {
    IListBox& box = listBox();
    Initialise();
    box.Clear();
}

void clsConsole::AddItem() {
    IListBox& box = listBox();
    if (myItemCount == std::numeric_limits<int16_t>::max()) {
        throw std::overflow_error("console item count exceeds 16 bits");
    }
    myItems.emplace_back();
    ++myItemCount;
    while (box.ListCount() < myItemCount)
        box.AddItem("");
    Disp(static_cast<int16_t>(myItemCount - 1));
}

void clsConsole::Title(int16_t i, const std::string& title) {
    item(i).Title = title;
    Disp(i);
}

void clsConsole::LimitValue(int16_t i) {
    ConsoleItem& it = item(i);
    const int16_t before = it.Value;
    if (it.Value < it.Min) it.Value = it.Min;
    if (it.Value > it.Max) it.Value = it.Max;
    if (it.Value != before) Disp(i);
}

void clsConsole::Value(int16_t i, int16_t v) {
    ConsoleItem& it = item(i);
    const int16_t old = it.Value;
    it.Value = v;
    LimitValue(i);
    if (it.Value != old) Disp(i);
    it.flgChanged = true;
}

void clsConsole::Min(int16_t i, int16_t v) {
    ConsoleItem& it = item(i);
    it.Min = v;
    if (it.Max < it.Min) it.Max = it.Min;
    LimitValue(i);
    Disp(i);
}

void clsConsole::Max(int16_t i, int16_t v) {
    ConsoleItem& it = item(i);
    it.Max = v;
    if (it.Max < it.Min) it.Min = it.Max;
    LimitValue(i);
    Disp(i);
}

void clsConsole::flgChanged(int16_t i, bool b) {
    item(i).flgChanged = b;
    if (b) {
        LimitValue(i);
        Disp(i);
    }
}

void clsConsole::flgEnterOn(int16_t i, bool b) {
    ConsoleItem& it = item(i);
    if (b) {
        for (auto& other : myItems)
            other.flgEnterOn = false;
    }
    it.flgEnterOn = b;
}

void clsConsole::Event_Disp(int16_t i, int16_t ev) {
    item(i).Event_Disp = ev;
    Disp(i);
}

std::string clsConsole::DefaultString(int16_t i) const {
    const ConsoleItem& it = item(i);
    const std::string value = "   " + std::to_string(it.Value);
    std::string line = it.Title + ":" + value.substr(value.size() - 4);
    if (it.BarExist) line += BarString(i);
    return line;
}

std::string clsConsole::BarString(int16_t i) const {
    const ConsoleItem& it = item(i);
    const int16_t offset = checked16(int32_t{it.Value} - it.Min, "bar offset exceeds 16 bits");
    const int16_t scaled = checked16(int32_t{offset} * myBarLength, "bar length exceeds 16 bits");
    const double span = static_cast<double>(it.Max) - it.Min;
    // An item without a range has nothing to show; its bar stays empty.
    long marks = span > 0 ? std::lround(std::nearbyint(scaled / span)) : 0;
    if (marks < 0) marks = 0;
    if (marks > myBarLength) marks = myBarLength;
    const auto n = static_cast<std::size_t>(marks);
    return " [" + std::string(n, '#') +
           std::string(static_cast<std::size_t>(myBarLength) - n, '-') + "]";
}

void clsConsole::UpDown(int16_t i, int16_t step) {
    const ConsoleItem& it = item(i);
    int16_t next = 0;
    if (it.LoopVal && it.Value >= it.Max && step > 0) {
        next = it.Min;
    } else if (it.LoopVal && it.Value <= it.Min && step < 0) {
        next = it.Max;
    } else {
        next = checked16(int32_t{it.Value} + step, "console step exceeds 16 bits");
    }
    Value(i, next);
}

void clsConsole::Disp(int16_t i) {
    const ConsoleItem& it = item(i);
    IListBox& box = listBox();
    if (it.Event_Disp < 0) {
        box.List(i, DefaultString(i));
        return;
    }
    int16_t index = i;
    const std::string text = eventClass().ConsEv_Disp(*this, index, it.Event_Disp, it.Value);
    box.List(i, text);
}

void clsConsole::ReadFromEe(int16_t i) {
    const ConsoleItem& it = item(i);
    if (it.EeAdr < 0) return;
    if (myEeprom_ == nullptr) throw std::logic_error("console has no EEPROM image");
    int16_t v = myEeprom_->ReadByte(it.EeAdr);
    if (it.EeDataSigned && v >= 128) v = static_cast<int16_t>(v - 256);
    Value(i, v);
}

void clsConsole::WriteToEe(int16_t i) {
    const ConsoleItem& it = item(i);
    if (it.EeAdr < 0) return;
    if (myEeprom_ == nullptr) throw std::logic_error("console has no EEPROM image");
    myEeprom_->WriteByte(it.EeAdr, static_cast<uint8_t>(it.Value & 0xFF));
}

void clsConsole::SendE8(int16_t i) {
    const ConsoleItem& it = item(i);
    if (it.Event_SendE8 >= 0) {
        int16_t index = i;
        eventClass().ConsEv_SendE8(*this, index, it.Event_SendE8, it.Value);
    } else if (it.E8Command >= 0) {
        // The image takes the value once the radio has it.
        IConsoleEvents& sink = eventClass();
        sink.ConsEv_QueueE8(it.E8Command, it.Value, it.EeAdr);
        sink.WaitE8Required(it.WaitAfterE8);
    } else {
        // Nothing to send: the image alone keeps the value.
        WriteToEe(i);
    }
}

void clsConsole::EnterExec(int16_t i) {
    const ConsoleItem& it = item(i);
    if (it.Event_Enter < 0) return;
    int16_t index = i;
    eventClass().ConsEv_Enter(*this, index, it.Event_Enter, it.Value);
    Disp(i);
}

}  // namespace calvex
