#include "rig/VelkaItems.h"

namespace calvex {

void AddItems(clsConsole& console, std::span<const ItemRow> rows) {
    for (const ItemRow& row : rows) {
        console.AddItem();
        const auto i = static_cast<int16_t>(console.ListCount() - 1);
        console.Title(i, std::string(row.title));
        // Only what differs from a fresh item is set, as a freshly added item already has the
        // rest.
        if (row.min != 0) console.Min(i, row.min);
        if (row.max != 255) console.Max(i, row.max);
        console.LoopVal(i, row.wrap);
        if (row.eeAdr >= 0) console.EeAdr(i, row.eeAdr);
        console.EeDataSigned(i, row.eeSigned);
        if (row.e8Command >= 0) console.E8Command(i, row.e8Command);
        if (row.eventDisp >= 0) console.Event_Disp(i, row.eventDisp);
        if (row.eventSendE8 >= 0) console.Event_SendE8(i, row.eventSendE8);
        if (row.eventEnter >= 0) console.Event_Enter(i, row.eventEnter);
        console.BarExist(i, row.bar);
        console.Disp(i);  // drawn whole, bar included
    }
}

}  // namespace calvex
