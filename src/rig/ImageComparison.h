#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/TextTable.h"
#include "memory/clsCmcEeprom.h"

namespace calvex {

// An adjustment item as a comparison of two images sees it: where its value lies.
struct ComparedItem {
    std::string title;
    // The item's own byte; negative: none.
    int32_t eeAdr = -1;
    bool eeSigned = false;
    // A ratio item: the narrow byte as a fraction of the wide byte; negative: not one.
    int32_t ratioWideAdr = -1;
    int32_t ratioNarrowAdr = -1;
    int16_t min = 0;
    int16_t max = 255;
};

// An item whose value differs: its title and both values as the console shows them.
struct ItemDifference {
    std::string title;
    std::string backupValue;
    std::string currentValue;
};

// A named part of the memory map that differs and no item shows: a memory channel record, the
// base frequency, an area of the reference oscillator (TXF) table, a parameter byte of the
// dump, or a run of other bytes.
struct MapDifference {
    std::string name;
    int32_t first = 0;  // the addresses the part spans
    int32_t last = 0;
    std::vector<int32_t> addresses;  // those of them that differ
    std::string backupText;
    std::string currentText;
};

struct ImageComparison {
    std::vector<ItemDifference> items;
    std::vector<MapDifference> others;  // in address order
    bool identical() const { return items.empty() && others.empty(); }
};

// Every item (in table order) whose value differs between the two images, then every other
// differing part of the memory map, so that no differing byte goes unmentioned: an item's own
// byte is left to its item when the item shows another value, every other byte (the narrow
// levels behind the ratio items among them) is listed by its part of the map. Items without a
// value in the image (the channel selection, the procedures) are not compared.
ImageComparison CompareImages(const clsCmcEeprom& backup, const clsCmcEeprom& current,
                              std::span<const ComparedItem> items);

// The value the console shows for the item after a read of image; nothing for an item without
// one (the channel selection, the procedures).
std::optional<int16_t> ComparedItemValue(const clsCmcEeprom& image, const ComparedItem& item);

// The comparison as lines of text, items first: "Power(Hi): backup 210, now 215".
std::vector<std::string> ComparisonLines(const ImageComparison& comparison);

// The comparison as one row per difference, under a header line: the group (adjustment items,
// then the other parts of the memory), the item or part, its value in each image (headed first
// and second), and the addresses of a part that differ.
TextTable ComparisonTable(const ImageComparison& comparison, const std::string& first,
                          const std::string& second);

// Addresses in ascending order as a short list: "79, 100..103, 274".
std::string AddressList(const std::vector<int32_t>& addresses);

}  // namespace calvex
