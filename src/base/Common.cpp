#include "base/Common.h"

#include <algorithm>
#include <stdexcept>

namespace calvex {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

int16_t MsgBoxCritical(IMessageBox& box, const std::string& text, const std::string& detail) {
    return box.critical(ExpandNewLine(text), kProgramTitle, detail);
}

std::string ExpandNewLine(std::string text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && text[i + 1] == 'n') {
            text[i] = '\r';
            text[i + 1] = '\n';
        }
    }
    return text;
}

std::string StrToByteStr(const std::string& s) {
    return s;
}

int16_t ByteStrHexToInt(const std::string& b) {
    uint64_t value = 0;
    int digits = 0;
    for (char c : b) {
        if (c == ' ' || c == '\t' || c == '\n') continue;
        const int d = HexDigitValue(c);
        if (d < 0) break;
        if (++digits > 8) throw std::overflow_error("hex number too large");
        value = value * 16 + static_cast<uint64_t>(d);
    }
    if (digits <= 4) return static_cast<int16_t>(static_cast<uint16_t>(value));
    // Five to eight digits form a 32-bit number, which must still fit 16 bits.
    const auto wide = static_cast<int32_t>(static_cast<uint32_t>(value));
    if (wide < INT16_MIN || wide > INT16_MAX) throw std::overflow_error("hex number too large");
    return static_cast<int16_t>(wide);
}

std::string HexStrToByteStr(const std::string& s) {
    std::string out;
    std::size_t i = 0;
    while (s.size() - i >= 2) {
        if (s[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<char>(ByteStrHexToInt(s.substr(i, 2))));
        i += 2;
    }
    return out;
}

std::string ByteStrToHexStr(const std::string& b) {
    std::string out;
    out.reserve(b.size() * 2);
    for (char c : b) {
        const auto v = static_cast<unsigned char>(c);
        out.push_back(kHexDigits[v >> 4]);
        out.push_back(kHexDigits[v & 0x0F]);
    }
    return out;
}

std::string IntToHex2(int16_t v) {
    const auto low = static_cast<unsigned>(static_cast<uint16_t>(v)) & 0xFFu;
    return {kHexDigits[low >> 4], kHexDigits[low & 0x0F]};
}

std::string IntToAsciiHexStr(int16_t v) {
    return ByteStrToHexStr(IntToHex2(v));
}

std::string UIntToHex(uint32_t v, int digits) {
    std::string out(static_cast<std::size_t>(std::max(digits, 0)), '0');
    for (auto it = out.rbegin(); it != out.rend(); ++it, v >>= 4)
        *it = kHexDigits[v & 0x0F];
    return out;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsUpperHex(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

int HexByteAt(std::string_view s, std::size_t at) {
    if (at >= s.size() || s.size() - at < 2) return -1;
    const int hi = HexDigitValue(s[at]);
    const int lo = HexDigitValue(s[at + 1]);
    if (hi < 0 || lo < 0) return -1;
    return hi * 16 + lo;
}

std::optional<std::string> HexToBytesStrict(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        // A digit left over at the end has no pair: -1 as well.
        const int v = HexByteAt(text, i);
        if (v < 0) return std::nullopt;
        out.push_back(static_cast<char>(v));
    }
    return out;
}

}  // namespace calvex
