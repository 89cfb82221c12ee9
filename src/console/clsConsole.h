#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/ConsoleItem.h"
#include "console/IConsoleEvents.h"
#include "console/IListBox.h"
#include "memory/clsCmcEeprom.h"

namespace calvex {

// The adjustment console: a generic list of items with values, limits and bar graphs, drawn one
// line per item on a list box. Writes only mark items; the transceiver task sends the marked
// ones later. Model-specific behaviour comes from the event sink.
//
// Every indexed operation throws std::out_of_range for an index that names no item and then
// changes nothing. Using a collaborator that has not been wired throws std::logic_error.
class clsConsole {
  public:
    clsConsole() { Initialise(); }

    // The collaborators, wired by the transceiver class on every reset.
    IListBox* myListBox() const { return myListBox_; }
    void myListBox(IListBox& box) { myListBox_ = &box; }
    IConsoleEvents* myEventClass() const { return myEventClass_; }
    void myEventClass(IConsoleEvents& sink) { myEventClass_ = &sink; }
    clsCmcEeprom* myEeprom() const { return myEeprom_; }
    void myEeprom(clsCmcEeprom& image) { myEeprom_ = &image; }

    // Removes every item and every line of the list box.
    void Clear();
    // Appends an item with the defaults and draws it; its index is ListCount() - 1.
    // Throws std::overflow_error when the count would leave 16 bits.
    void AddItem();

    const std::string& Title(int16_t i) const { return item(i).Title; }
    void Title(int16_t i, const std::string& title);
    int16_t Value(int16_t i) const { return item(i).Value; }
    // Stores v clamped to Min..Max and marks the item changed, also when nothing moved.
    void Value(int16_t i, int16_t v);
    int16_t Min(int16_t i) const { return item(i).Min; }
    // Writing a limit past the other drags the other along; never marks the item changed.
    void Min(int16_t i, int16_t v);
    int16_t Max(int16_t i) const { return item(i).Max; }
    void Max(int16_t i, int16_t v);
    bool BarExist(int16_t i) const { return item(i).BarExist; }
    void BarExist(int16_t i, bool b) { item(i).BarExist = b; }
    bool LoopVal(int16_t i) const { return item(i).LoopVal; }
    void LoopVal(int16_t i, bool b) { item(i).LoopVal = b; }
    int32_t WaitAfterE8(int16_t i) const { return item(i).WaitAfterE8; }
    void WaitAfterE8(int16_t i, int32_t ms) { item(i).WaitAfterE8 = ms; }
    bool flgChanged(int16_t i) const { return item(i).flgChanged; }
    void flgChanged(int16_t i, bool b);
    bool flgEnterOn(int16_t i) const { return item(i).flgEnterOn; }
    // Setting it clears every other item's flag first: one Enter is pending at most.
    void flgEnterOn(int16_t i, bool b);
    int32_t EeAdr(int16_t i) const { return item(i).EeAdr; }
    void EeAdr(int16_t i, int32_t adr) { item(i).EeAdr = adr; }
    bool EeDataSigned(int16_t i) const { return item(i).EeDataSigned; }
    void EeDataSigned(int16_t i, bool b) { item(i).EeDataSigned = b; }
    int16_t E8Command(int16_t i) const { return item(i).E8Command; }
    void E8Command(int16_t i, int16_t cmd) { item(i).E8Command = cmd; }
    int16_t Event_Disp(int16_t i) const { return item(i).Event_Disp; }
    void Event_Disp(int16_t i, int16_t ev);
    int16_t Event_Changed(int16_t i) const { return item(i).Event_Changed; }
    void Event_Changed(int16_t i, int16_t ev) { item(i).Event_Changed = ev; }
    int16_t Event_SendE8(int16_t i) const { return item(i).Event_SendE8; }
    void Event_SendE8(int16_t i, int16_t ev) { item(i).Event_SendE8 = ev; }
    int16_t Event_Enter(int16_t i) const { return item(i).Event_Enter; }
    void Event_Enter(int16_t i, int16_t ev) { item(i).Event_Enter = ev; }

    int16_t ListCount() const { return myItemCount; }
    // Title, colon, the value right-aligned in 4 columns, and the bar when the item has one.
    std::string DefaultString(int16_t i) const;
    // " [", the marks, the rest of the bar in "-", "]".
    std::string BarString(int16_t i) const;

    // Steps the value (keyboard); wraps only from a limit itself when LoopVal is set.
    // Throws std::overflow_error when the sum leaves 16 bits.
    void UpDown(int16_t i, int16_t step);
    // Redraws line i.
    void Disp(int16_t i);
    void ReadFromEe(int16_t i);
    void WriteToEe(int16_t i);
    // Queues the item's adjustment command with the sink, the image to take the value once it
    // has been sent; an item with a send event leaves both to the sink, one without a command
    // stores the value in the image at once.
    void SendE8(int16_t i);
    void EnterPushed(int16_t i) { flgEnterOn(i, true); }
    void EnterExec(int16_t i);

  private:
    void Initialise();
    void LimitValue(int16_t i);
    ConsoleItem& item(int16_t i);
    const ConsoleItem& item(int16_t i) const;
    IListBox& listBox() const;
    IConsoleEvents& eventClass() const;

    IListBox* myListBox_ = nullptr;
    IConsoleEvents* myEventClass_ = nullptr;
    clsCmcEeprom* myEeprom_ = nullptr;
    std::vector<ConsoleItem> myItems;
    int16_t myItemCount = 0;
    int16_t myBarLength = 20;
};

}  // namespace calvex
