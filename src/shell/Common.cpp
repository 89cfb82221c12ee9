#include "shell/Common.h"

#include <stdexcept>

namespace calvex {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

int16_t MsgBoxCritical(IMessageBox& box, const std::string& text) {
    return box.critical(ExpandNewLine(text), kProgramTitle);
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
        const int d = hexDigitValue(c);
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

}  // namespace calvex
