#include "memory/clsIndEep_RigVelka.h"

#include <cstdio>
#include <limits>
#include <stdexcept>

#include "shell/FormatPattern.h"

namespace calvex {

namespace {

constexpr const char* kCrLf = "\r\n";

// Lines 1..46 of the dump; the base frequency follows them as line 47.
constexpr clsIndEep_RigVelka::ParaByte kParaLines[] = {
    {"                POW HI Level: ", 79, false},  {"                POW L2 Level: ", 78, false},
    {"                POW L1 Level: ", 77, false},  {"                 BAL W Level: ", 106, false},
    {"                 BAL N Level: ", 107, false}, {"                 MOD W Level: ", 72, false},
    {"                 MOD N Level: ", 73, false},  {"             CTCS/DTCS Level: ", 76, false},
    {"                   SQL Level: ", 274, false}, {"                BPF T1 Level: ", 68, true},
    {"                BPF T2 Level: ", 69, true},   {"                   AGC Start: ", 101, false},
    {"                     AGC End: ", 102, false}, {"                   AGC Slant: ", 103, false},
    {"       MOD Slant(Freq) Band0: ", 49, true},   {"       MOD Slant(Freq) Band1: ", 50, true},
    {"       MOD Slant(Freq) Band2: ", 51, true},   {"       MOD Slant(Freq) Band3: ", 52, true},
    {"       MOD Slant(Freq) Band4: ", 53, true},   {"      Tone Slant(Freq) Band0: ", 54, true},
    {"      Tone Slant(Freq) Band1: ", 55, true},   {"      Tone Slant(Freq) Band2: ", 56, true},
    {"      Tone Slant(Freq) Band3: ", 57, true},   {"      Tone Slant(Freq) Band4: ", 58, true},
    {"       POW Slant(Freq) Band0: ", 59, true},   {"       POW Slant(Freq) Band1: ", 60, true},
    {"       POW Slant(Freq) Band2: ", 61, true},   {"       POW Slant(Freq) Band3: ", 62, true},
    {"       POW Slant(Freq) Band4: ", 63, true},   {"       BAL Slant(Freq) Band0: ", 96, true},
    {"       BAL Slant(Freq) Band1: ", 97, true},   {"       BAL Slant(Freq) Band2: ", 98, true},
    {"       BAL Slant(Freq) Band3: ", 99, true},   {"       BAL Slant(Freq) Band4: ", 100, true},
    {"        MOD Slant(Temp) Area: ", 64, true},   {"       Tone Slant(Temp) Area: ", 65, true},
    {"        SQL Slant(Temp) Area: ", 66, true},   {"        BAL Slant(Temp) Area: ", 75, true},
    {"       CTCSS Tone Correction: ", 80, false},  {"        DTCS Tone Correction: ", 81, false},
    {"       LTR W Tone Correction: ", 82, false},  {"       LTR N Tone Correction: ", 83, false},
    {"            MOD W Correction: ", 84, false},  {"            MOD N Correction: ", 85, false},
    {"            BAL W Correction: ", 104, false}, {"            BAL N Correction: ", 105, false},
};

// "REF Area 3: " and the like, blanks on the left up to 25 characters.
std::string refLabel(const char* name, int n) {
    return AlignRight(std::string(name) + " " + std::to_string(n) + ": ", 25);
}

std::string hex2(int v) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

}  // namespace

std::span<const clsIndEep_RigVelka::ParaByte> clsIndEep_RigVelka::RigVelkaEep_ParaBytes() {
    return kParaLines;
}

int32_t clsIndEep_RigVelka::recordAdr(int16_t ch, int32_t offset) {
    if (ch < 0) throw std::out_of_range("memory channel number must not be negative");
    return kChannelBase + kChannelSize * ch + offset;
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
    return image_.ReadByte(92) * 256 + image_.ReadByte(93);
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
    for (const auto& line : kParaLines) {
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
    for (int n = 0; n <= 19; ++n) {
        text += refLabel("REF Initial", n) + FormatUnsigned(image_.ReadByte(217 + 2 * n));
        text += kCrLf;
    }
    for (int n = 0; n <= 19; ++n) {
        text += refLabel("REF Slant", n) + FormatSigned(image_.ReadByte(216 + 2 * n));
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
        text += hex2(c) + (c < 15 ? "  " : kCrLf);
    text += "      -----";
    for (int k = 0; k < 14; ++k)
        text += "----";
    text += "---";
    text += kCrLf;
    const int32_t size = clsCmcEeprom::kDefaultSize;
    for (int32_t a = 0; a < size; ++a) {
        if (a % 16 == 0) text += hex2(a / 16) + "h |  ";
        text += hex2(image_.ReadByte(a));
        text += a % 16 == 15 ? kCrLf : "  ";
    }
}

}  // namespace calvex
