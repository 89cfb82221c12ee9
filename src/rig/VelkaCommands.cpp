#include "rig/VelkaCommands.h"

#include "memory/VelkaMemory.h"
#include "rig/VelkaItems.h"

namespace calvex {

namespace {

std::string trimmed(std::string_view title) {
    while (!title.empty() && title.front() == ' ')
        title.remove_prefix(1);
    return std::string(title);
}

}  // namespace

std::string VelkaCommandName(int command) {
    for (const ItemRow& row : kVelkaItems) {
        if (row.e8Command >= 0 && row.e8Command == command) return trimmed(row.title);
        if (row.isRatio && row.narrowCommand == command) {
            return trimmed(row.title) + " (narrow level)";
        }
    }
    switch (command) {
        case VelkaMemory::kAdjustModeCommand:
            return "adjustment mode";
        case VelkaMemory::kReadingCommand:
            return "reading";
        case VelkaMemory::kRssiS1Command:
            return "RSSI S1 level";
        case VelkaMemory::kRssiS3Command:
            return "RSSI S3 level";
        default:
            break;
    }
    const int k = command - VelkaMemory::kTxfFirstCommand;
    if (k >= 0 && k < VelkaMemory::kTxfPositions) {
        return "TXF area " + std::to_string(k / 2) + (k % 2 == 0 ? " slant" : " initial");
    }
    return {};
}

}  // namespace calvex
