#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace calvex {

// The format of the serial line: rate, parity, data bits and stop bits, as a serial control's
// settings text spells it ("9600,N,8,1"). The clone cable runs 8N1 at 9600 or 38400 bauds.
struct LineFormat {
    enum class Stop { One, OneAndHalf, Two };

    int32_t baud = 9600;
    char parity = 'N';  // N none, E even, O odd, M mark, S space
    int dataBits = 8;   // 5 to 8
    Stop stopBits = Stop::One;

    bool operator==(const LineFormat&) const = default;
};

// "baud,parity,data,stop": a rate of digits alone above 0, a parity letter of N, E, O, M or S
// (either case), 5 to 8 data bits, 1, 1.5 or 2 stop bits; nothing for any other text.
std::optional<LineFormat> ParseLineFormat(const std::string& text);
// The format as a settings text: "9600,N,8,1".
std::string LineFormatText(const LineFormat& format);

}  // namespace calvex
