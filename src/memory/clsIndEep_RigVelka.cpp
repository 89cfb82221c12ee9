#include "memory/clsIndEep_RigVelka.h"

#include <limits>
#include <stdexcept>

#include "base/Common.h"
#include "base/FormatPattern.h"

namespace calvex {

namespace {

// "REF Area 3: " and the like, blanks on the left up to 25 characters.
std::string refLabel(const char* name, int n) {
    return AlignRight(std::string(name) + " " + std::to_string(n) + ": ", 25);
}

}  // namespace

int32_t clsIndEep_RigVelka::recordAdr(int16_t ch, int32_t offset) {
    if (ch < 0) throw std::out_of_range("memory channel number must not be negative");
    return VelkaMemory::ChannelRecord(ch) + offset;
}

std::string clsIndEep_RigVelka::RigVelkaEep_GetChName(int16_t ch) {
    if (ch < 0 || ch >= static_cast<int16_t>(chNames_.size())) {
        throw std::out_of_range("memory channel name index out of range");
    }
    auto& name = chNames_[static_cast<std::size_t>(ch)];
    name = std::to_string(ch + 1);
    return name;
}

int32_t clsIndEep_RigVelka::RigVelkaEep_GetChFreqTxReal(int16_t ch) const {
    return ReadFreqBlock(recordAdr(ch, 4));
}

int32_t clsIndEep_RigVelka::RigVelkaEep_GetChFreqRxReal(int16_t ch) const {
    return ReadFreqBlock(recordAdr(ch, 0));
}

int16_t clsIndEep_RigVelka::RigVelkaEep_GetChRFPower(int16_t ch) const {
    const int32_t adr = recordAdr(ch, 12);
    if (image_.ReadBit(adr, 1) == 0) return 2;
    return image_.ReadBit(adr, 0) != 0 ? 0 : 1;
}

bool clsIndEep_RigVelka::RigVelkaEep_GetChMode(int16_t ch) const {
    return image_.ReadBit(recordAdr(ch, 15), 7) != 0;
}

bool clsIndEep_RigVelka::RigVelkaEep_GetChAppear(int16_t ch) const {
    if (ch < 0) return false;
    return Check_MRCH(recordAdr(ch, 0));
}

int32_t clsIndEep_RigVelka::ReadFreqBlock(int32_t adr) const {
    uint32_t v = 0;
    for (int32_t k = 0; k < 4; ++k)
        v = (v << 8) | static_cast<uint32_t>(image_.ReadByte(adr + k));
    return static_cast<int32_t>(v);
}

bool clsIndEep_RigVelka::Check_MRCH(int32_t adr) const {
    // The inhibit bit is tested first: an inhibited record is present whatever its frequency.
    if (Check_Inh(adr)) return true;
    return ReadFreqBlock(adr) != 0;
}

bool clsIndEep_RigVelka::Check_Inh(int32_t adr) const {
    return image_.ReadBit(adr, 7) != 0;
}

int32_t clsIndEep_RigVelka::baseFreqUnits() const {
    return image_.ReadByte(VelkaMemory::kBaseFreq) * 256 +
           image_.ReadByte(VelkaMemory::kBaseFreq + 1);
}

int32_t clsIndEep_RigVelka::ReadBaseFreqBlock() const {
    const int64_t hz = int64_t{baseFreqUnits()} * 100000;
    if (hz > std::numeric_limits<int32_t>::max()) {
        throw std::overflow_error("base frequency exceeds 32 bits");
    }
    return static_cast<int32_t>(hz);
}

std::string clsIndEep_RigVelka::FormatUnsigned(int16_t value) {
    const std::string text = "    " + std::to_string(value);
    return text.substr(text.size() - 4);
}

std::string clsIndEep_RigVelka::FormatSigned(int16_t value) {
    if (value >= 128 && value <= 255) value = static_cast<int16_t>(value - 256);
    return FormatUnsigned(value);
}

std::string clsIndEep_RigVelka::RigVelkaEep_DispPara(std::span<const int16_t> tempBorders) const {
    if (tempBorders.size() < 21) throw std::out_of_range("the dump needs 21 temperature borders");
    std::string text;
    for (const auto& line : VelkaMemory::kParaBytes) {
        const int16_t byte = image_.ReadByte(line.adr);
        text += line.label;
        text += line.isSigned ? FormatSigned(byte) : FormatUnsigned(byte);
        text += kCrLf;
    }
    text += "              Base Frequency: ";
    // From the 100 kHz units directly, so that an erased image (FF FF) still shows its dump.
    text += AlignRight(FormatPattern(baseFreqUnits() / 10.0, "###0.##0"), 8) + "MHz";
    text += kCrLf;
    for (int n = 0; n <= 20; ++n) {
        text += refLabel("REF Area", n) + FormatUnsigned(tempBorders[static_cast<std::size_t>(n)]);
        text += kCrLf;
    }
    for (int16_t n = 0; n < VelkaMemory::kTxfAreas; ++n) {
        text += refLabel("REF Initial", n) +
                FormatUnsigned(image_.ReadByte(VelkaMemory::TxfInitial(n)));
        text += kCrLf;
    }
    for (int16_t n = 0; n < VelkaMemory::kTxfAreas; ++n) {
        text += refLabel("REF Slant", n) + FormatSigned(image_.ReadByte(VelkaMemory::TxfSlant(n)));
        text += kCrLf;
    }
    return text;
}

void clsIndEep_RigVelka::RigVelkaEep_DispDebug(std::string& text) const {
    text += kCrLf;
    text += "       EEPROM Data";
    text += kCrLf;
    text += "       ";
    for (int c = 0; c < 16; ++c)
        text += IntToHex2(static_cast<int16_t>(c)) + (c < 15 ? "  " : kCrLf);
    text += "      -----";
    for (int k = 0; k < 14; ++k)
        text += "----";
    text += "---";
    text += kCrLf;
    const int32_t size = clsCmcEeprom::kDefaultSize;
    for (int32_t a = 0; a < size; ++a) {
        if (a % 16 == 0) text += IntToHex2(static_cast<int16_t>(a / 16)) + "h |  ";
        text += IntToHex2(image_.ReadByte(a));
        text += a % 16 == 15 ? kCrLf : "  ";
    }
}

}  // namespace calvex
