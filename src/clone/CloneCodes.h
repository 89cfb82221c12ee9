#pragma once

#include <cstdint>
#include <string>

namespace calvex {

// Command bytes of the clone frames: the byte after FE FE EE EF of a frame sent, after EF EE of
// an answer.
namespace clonecmd {
inline constexpr uint8_t kIdentify = 0xE0;
inline constexpr uint8_t kIdentityAnswer = 0xE1;
inline constexpr uint8_t kRead = 0xE2;
inline constexpr uint8_t kWrite = 0xE3;
inline constexpr uint8_t kData = 0xE4;  // one block of the image, either way
inline constexpr uint8_t kEnd = 0xE5;   // closes a transfer: signature and block count
inline constexpr uint8_t kWriteResult = 0xE6;
inline constexpr uint8_t kAdjust = 0xE8;  // one adjustment command, and its answer
}  // namespace clonecmd

// The E8 data text of one adjustment command, the one encoder of it: the command as two hex
// digits, then the value's low byte as two hex digits, each written as the hex code of its
// character (command 05 with value C8 gives 054338).
std::string E8DataText(int16_t command, int16_t value);

// How an exchange of the frame driver ended (nowError / lastError). The numbers are fixed.
enum class DriverError : int16_t {
    None = 0,
    NoEcho = 1,
    NoAnswer = 2,
    IllegalData = 3,
    DataCounter = 4,
    DataOverflow = 5,
    // No exchange of this driver ends with it; it reads as a failed write.
    WriteFailed = 6,
    WriteResult = 7,
    WriteRefused = 8,
};

// Why the sequencer gave up an operation (error()).
enum class SequenceError : int16_t {
    None = 0,
    Model = 1,
    SubCode = 2,
    Byte43 = 3,
    Driver = 4,
    // Another radio answered than the one bound (see bindIdentity); nothing was sent to it.
    OtherUnit = 5,
};

}  // namespace calvex
