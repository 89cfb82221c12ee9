#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "console/clsConsole.h"
#include "memory/VelkaMemory.h"

namespace calvex {

// The adjustment items of the Velka's console, in their order on the console.
enum class VelkaItem : int16_t {
    ChNo,
    PowerHi,
    PowerL2,
    PowerL1,
    BalW,
    BalRatio,
    ModW,
    ModRatio,
    CtcsDtcs,
    Sql,
    BpfAll,
    BpfT1,
    BpfT2,
    Txf,
};

// The console line of an item of the Velka's table.
constexpr int16_t Index(VelkaItem item) {
    return static_cast<int16_t>(item);
}

// One adjustment item: what the console shows, the byte it keeps, the command that sets it
// live, its range, and the events by which the transceiver class draws, sends or starts it
// (negative: none, the console's own behaviour).
struct ItemRow {
    VelkaItem item;
    std::string_view title;
    int32_t eeAdr = -1;
    bool eeSigned = false;
    int16_t e8Command = -1;
    int16_t min = 0;
    int16_t max = 255;
    bool bar = false;
    // Stepping past one end continues at the other.
    bool wrap = false;
    int16_t eventDisp = -1;
    int16_t eventSendE8 = -1;
    int16_t eventEnter = -1;
    // A ratio item keeps no byte of its own: it is the narrow level as a fraction (in 1/255) of
    // the wide item's level; the narrow level has its byte and its command.
    bool isRatio = false;
    VelkaItem wide = VelkaItem::ChNo;
    int32_t narrowAdr = -1;
    int16_t narrowCommand = -1;
};

inline constexpr std::array<ItemRow, 14> kVelkaItems = {{
    {.item = VelkaItem::ChNo,
     .title = "    CH No.",
     .e8Command = 0,
     .max = 0,
     .wrap = true,
     .eventDisp = 0,
     .eventSendE8 = 0},
    {.item = VelkaItem::PowerHi,
     .title = " Power(Hi)",
     .eeAdr = VelkaMemory::kPowerHi,
     .e8Command = 5,
     .bar = true},
    {.item = VelkaItem::PowerL2,
     .title = " Power(L2)",
     .eeAdr = VelkaMemory::kPowerL2,
     .e8Command = 6,
     .bar = true},
    {.item = VelkaItem::PowerL1,
     .title = " Power(L1)",
     .eeAdr = VelkaMemory::kPowerL1,
     .e8Command = 7,
     .bar = true},
    {.item = VelkaItem::BalW,
     .title = "     BAL W",
     .eeAdr = VelkaMemory::kBalWide,
     .e8Command = 10,
     .bar = true},
    {.item = VelkaItem::BalRatio,
     .title = " BAL Ratio",
     .bar = true,
     .isRatio = true,
     .wide = VelkaItem::BalW,
     .narrowAdr = VelkaMemory::kBalNarrow,
     .narrowCommand = VelkaMemory::kBalNarrowCommand},
    {.item = VelkaItem::ModW,
     .title = "     MOD W",
     .eeAdr = VelkaMemory::kModWide,
     .e8Command = 8,
     .bar = true},
    {.item = VelkaItem::ModRatio,
     .title = " MOD Ratio",
     .bar = true,
     .isRatio = true,
     .wide = VelkaItem::ModW,
     .narrowAdr = VelkaMemory::kModNarrow,
     .narrowCommand = VelkaMemory::kModNarrowCommand},
    {.item = VelkaItem::CtcsDtcs,
     .title = " CTCS/DTCS",
     .eeAdr = VelkaMemory::kCtcsDtcs,
     .e8Command = 17,
     .bar = true},
    {.item = VelkaItem::Sql,
     .title = "       SQL",
     .eeAdr = VelkaMemory::kSql,
     .e8Command = 4,
     .bar = true},
    {.item = VelkaItem::BpfAll, .title = "   BPF ALL", .eventDisp = 2, .eventEnter = 4},
    {.item = VelkaItem::BpfT1,
     .title = "    BPF T1",
     .eeAdr = VelkaMemory::kBpfT1,
     .eeSigned = true,
     .e8Command = 12,
     .min = -128,
     .max = 127,
     .bar = true,
     .eventDisp = 3,
     .eventEnter = 2},
    {.item = VelkaItem::BpfT2,
     .title = "    BPF T2",
     .eeAdr = VelkaMemory::kBpfT2,
     .eeSigned = true,
     .e8Command = 13,
     .min = -128,
     .max = 127,
     .bar = true,
     .eventDisp = 3,
     .eventEnter = 3},
    {.item = VelkaItem::Txf, .title = "       TXF", .eventDisp = 1, .eventEnter = 0},
}};

constexpr const ItemRow& RowOf(VelkaItem item) {
    return kVelkaItems[static_cast<std::size_t>(Index(item))];
}

// The ratio row whose narrow level follows the Velka's item at index (the wide item or the
// ratio itself); nothing for any other item.
constexpr const ItemRow* RatioRowOf(int16_t index) {
    for (const ItemRow& r : kVelkaItems) {
        if (r.isRatio && (Index(r.item) == index || Index(r.wide) == index)) return &r;
    }
    return nullptr;
}

// Appends one console item per row, in the rows' order.
void AddItems(clsConsole& console, std::span<const ItemRow> rows);

}  // namespace calvex
