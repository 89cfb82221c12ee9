#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/IMessageBox.h"

namespace calvex {

// Title of every message box and of the main window.
inline constexpr const char* kProgramTitle = "Calvex ADJ Rev.1.0";

// The line break of the program's messages and files (CR LF).
inline constexpr const char* kCrLf = "\r\n";

// Shows text as a critical message with the program title, detail (if any) set apart below it;
// returns the button pressed.
int16_t MsgBoxCritical(IMessageBox& box, const std::string& text, const std::string& detail = {});

// Replaces every backslash-n pair by CR LF; the length never changes.
std::string ExpandNewLine(std::string text);

// Characters to bytes. A std::string already holds single-byte characters, so this is the
// identity; it stays as the named step where protocol text becomes wire bytes.
std::string StrToByteStr(const std::string& s);

// Reads bytes holding ASCII hex digits as a number: blanks, tabs and line feeds are skipped,
// digits are taken up to the first other character, none gives 0. Up to four digits wrap to
// 16 bits (FFFF is -1); a wider value outside the 16-bit range throws std::overflow_error.
int16_t ByteStrHexToInt(const std::string& b);

// Hex text (blanks allowed between pairs) to bytes; never fails on malformed text.
std::string HexStrToByteStr(const std::string& s);

// Bytes to upper-case hex text, two digits per byte, no separators.
std::string ByteStrToHexStr(const std::string& b);

// The low byte of v as two hex digits, each written as the two hex digits of its ASCII code
// (15 gives 3046).
std::string IntToAsciiHexStr(int16_t v);

// The low byte of v as two upper-case hex digits (-1 gives FF, 300 gives 2C).
std::string IntToHex2(int16_t v);

// v as its lowest `digits` upper-case hex digits (0x1C291CA3, 8 gives 1C291CA3).
std::string UIntToHex(uint32_t v, int digits);

// The value of one hex digit of either case, or -1.
int HexDigitValue(char c);

// True when every character is a hex digit 0-9 or A-F (upper case only).
bool IsUpperHex(std::string_view s);

// The byte written as the two hex digits (either case) at s[at] and s[at + 1], or -1 when s ends
// before them or either is no hex digit.
int HexByteAt(std::string_view s, std::size_t at);

// Strict hex text to bytes: an even count of hex digits (either case) and nothing else, or
// nothing at all.
std::optional<std::string> HexToBytesStrict(std::string_view text);

}  // namespace calvex
