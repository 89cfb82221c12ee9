#include "rig/ImageComparison.h"

#include <algorithm>
#include <optional>

#include "base/Common.h"
#include "base/FormatPattern.h"
#include "memory/clsIndEep_RigVelka.h"
#include "rig/NarrowRatio.h"

namespace calvex {

namespace {

using Eep = clsIndEep_RigVelka;
using Map = VelkaMemory;

std::string trimLabel(const std::string& label) {
    const auto first = label.find_first_not_of(' ');
    const auto last = label.find_last_not_of(": ");
    if (first == std::string::npos || last == std::string::npos || last < first) return {};
    return label.substr(first, last - first + 1);
}

int16_t byteValue(const clsCmcEeprom& image, int32_t adr, bool isSigned) {
    const int16_t v = image.ReadByte(adr);
    return isSigned && v >= 128 ? static_cast<int16_t>(v - 256) : v;
}

}  // namespace

std::optional<int16_t> ComparedItemValue(const clsCmcEeprom& image, const ComparedItem& item) {
    int16_t v = 0;
    if (item.eeAdr >= 0) {
        v = byteValue(image, item.eeAdr, item.eeSigned);
    } else if (item.ratioWideAdr >= 0 && item.ratioNarrowAdr >= 0) {
        v = RatioOf(image.ReadByte(item.ratioWideAdr), image.ReadByte(item.ratioNarrowAdr),
                    item.max);
    } else {
        return std::nullopt;
    }
    return std::clamp(v, item.min, item.max);
}

namespace {

std::string hexBytes(const clsCmcEeprom& image, const std::vector<int32_t>& addresses) {
    std::string text;
    for (int32_t a : addresses)
        text += (text.empty() ? "" : " ") + IntToHex2(image.ReadByte(a));
    return text;
}

std::string mhz(int32_t hz) {
    return FormatPattern(hz / 1000000.0, "###0.#####0") + " MHz";
}

std::string channelSummary(const clsCmcEeprom& image, int16_t ch) {
    const Eep map(image);
    if (!map.RigVelkaEep_GetChAppear(ch)) return "not programmed";
    const int32_t record = Map::ChannelRecord(static_cast<int16_t>(ch));
    std::string text = "RX ";
    text += map.Check_Inh(record + Map::kRxOffset) ? "Inhibit"
                                                   : mhz(map.RigVelkaEep_GetChFreqRxReal(ch));
    text += ", TX ";
    text += map.Check_Inh(record + Map::kTxOffset) ? "Inhibit"
                                                   : mhz(map.RigVelkaEep_GetChFreqTxReal(ch));
    static const char* const kPower[] = {"High", "Low2", "Low1"};
    text += ", ";
    text += kPower[map.RigVelkaEep_GetChRFPower(ch)];
    text += map.RigVelkaEep_GetChMode(ch) ? ", Narrow" : ", Wide";
    return text;
}

std::string baseFrequency(const clsCmcEeprom& image) {
    const int units = image.ReadByte(Map::kBaseFreq) * 256 + image.ReadByte(Map::kBaseFreq + 1);
    return FormatPattern(units / 10.0, "###0.##0") + " MHz";
}

std::string txfArea(const clsCmcEeprom& image, int32_t area) {
    const int32_t slant = Map::TxfSlant(static_cast<int16_t>(area));
    return "initial " + std::to_string(image.ReadByte(slant + 1)) + ", slant " +
           std::to_string(byteValue(image, slant, true));
}

// The named parts of the map, one per address; unnamed addresses have none.
struct Part {
    std::string name;
    int32_t first = 0;
    int32_t last = 0;
    // How both images show the part (empty: as hex bytes).
    std::string (*describe)(const clsCmcEeprom&, int32_t) = nullptr;
    int32_t arg = 0;
};

std::optional<Part> partAt(int32_t adr) {
    if (adr >= Map::kChannelBase && adr < Map::kChannelRecordsEnd) {
        const int32_t ch = (adr - Map::kChannelBase) / Map::kChannelSize;
        const int32_t first = Map::kChannelBase + ch * Map::kChannelSize;
        return Part{"Memory channel " + std::to_string(ch + 1), first,
                    first + Map::kChannelSize - 1,
                    [](const clsCmcEeprom& image, int32_t c) {
                        return channelSummary(image, static_cast<int16_t>(c));
                    },
                    ch};
    }
    if (adr == Map::kBaseFreq || adr == Map::kBaseFreq + 1) {
        return Part{"Base frequency", Map::kBaseFreq, Map::kBaseFreq + 1,
                    [](const clsCmcEeprom& image, int32_t) { return baseFrequency(image); }, 0};
    }
    if (adr >= Map::kTxfTable && adr <= Map::kTxfLast) {
        const int32_t area = (adr - Map::kTxfTable) / 2;
        return Part{"TXF table area " + std::to_string(area),
                    Map::TxfSlant(static_cast<int16_t>(area)),
                    Map::TxfInitial(static_cast<int16_t>(area)), &txfArea, area};
    }
    const auto named = [adr](const Eep::ParaByte& p) { return p.adr == adr; };
    const auto dump = Eep::RigVelkaEep_ParaBytes();
    const Eep::ParaByte* para = nullptr;
    if (const auto it = std::find_if(dump.begin(), dump.end(), named); it != dump.end()) {
        para = &*it;
    } else if (const auto r = std::find_if(Map::kRssiBytes.begin(), Map::kRssiBytes.end(), named);
               r != Map::kRssiBytes.end()) {
        para = r;
    }
    if (para != nullptr) {
        const auto describe =
            para->isSigned ? +[](const clsCmcEeprom& image,
                                 int32_t a) { return std::to_string(byteValue(image, a, true)); }
                           : +[](const clsCmcEeprom& image, int32_t a) {
                                 return std::to_string(image.ReadByte(a));
                             };
        return Part{trimLabel(para->label), adr, adr, describe, adr};
    }
    return std::nullopt;
}

std::string unnamedRegion(int32_t adr) {
    return adr < Map::kChannelBase ? "Parameter bytes" : "Bytes after the channel records";
}

}  // namespace

ImageComparison CompareImages(const clsCmcEeprom& backup, const clsCmcEeprom& current,
                              std::span<const ComparedItem> items) {
    ImageComparison result;
    std::vector<bool> shown(static_cast<std::size_t>(clsCmcEeprom::kDefaultSize), false);
    for (const auto& item : items) {
        const auto b = ComparedItemValue(backup, item);
        const auto c = ComparedItemValue(current, item);
        if (!b || !c || *b == *c) continue;
        result.items.push_back({trimLabel(item.title), std::to_string(*b), std::to_string(*c)});
        // Its byte needs no row of its own; a byte whose item shows the same value gets one.
        if (item.eeAdr >= 0 && item.eeAdr < clsCmcEeprom::kDefaultSize) {
            shown[static_cast<std::size_t>(item.eeAdr)] = true;
        }
    }

    for (int32_t adr = 0; adr < clsCmcEeprom::kDefaultSize; ++adr) {
        if (shown[static_cast<std::size_t>(adr)] || backup.ReadByte(adr) == current.ReadByte(adr))
            continue;
        const auto part = partAt(adr);
        MapDifference* row = result.others.empty() ? nullptr : &result.others.back();
        if (part) {
            if (row != nullptr && row->name == part->name && row->first == part->first) {
                row->addresses.push_back(adr);
                continue;
            }
            result.others.push_back({part->name,
                                     part->first,
                                     part->last,
                                     {adr},
                                     part->describe(backup, part->arg),
                                     part->describe(current, part->arg)});
            continue;
        }
        // Unnamed bytes: one row for a run of neighbouring addresses.
        if (row != nullptr && row->name == unnamedRegion(adr) && row->last == adr - 1) {
            row->last = adr;
            row->addresses.push_back(adr);
            continue;
        }
        result.others.push_back({unnamedRegion(adr), adr, adr, {adr}, {}, {}});
    }
    for (auto& row : result.others) {
        // A part whose description is the same in both (bytes it does not decode) and every
        // unnamed run shows its bytes.
        if (row.backupText == row.currentText) {
            row.backupText = hexBytes(backup, row.addresses);
            row.currentText = hexBytes(current, row.addresses);
        }
    }
    return result;
}

std::string AddressList(const std::vector<int32_t>& addresses) {
    std::string text;
    for (std::size_t i = 0; i < addresses.size();) {
        std::size_t j = i;
        while (j + 1 < addresses.size() && addresses[j + 1] == addresses[j] + 1)
            ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(addresses[i]);
        if (j > i) text += ".." + std::to_string(addresses[j]);
        i = j + 1;
    }
    return text;
}

std::vector<std::string> ComparisonLines(const ImageComparison& comparison) {
    std::vector<std::string> lines;
    for (const auto& d : comparison.items) {
        lines.push_back(d.title + ": backup " + d.backupValue + ", now " + d.currentValue);
    }
    for (const auto& d : comparison.others) {
        lines.push_back(d.name + " (at " + AddressList(d.addresses) + "): backup " + d.backupText +
                        ", now " + d.currentText);
    }
    return lines;
}

TextTable ComparisonTable(const ImageComparison& c, const std::string& first,
                          const std::string& second) {
    TextTable table = {{"Group", "Item", first, second, "Addresses"}};
    for (const ItemDifference& d : c.items)
        table.push_back({"Adjustment items", d.title, d.backupValue, d.currentValue, ""});
    for (const MapDifference& d : c.others) {
        table.push_back({"Other parts of the memory", d.name, d.backupText, d.currentText,
                         AddressList(d.addresses)});
    }
    return table;
}

}  // namespace calvex
