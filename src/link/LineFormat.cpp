#include "link/LineFormat.h"

#include <cctype>
#include <charconv>
#include <string_view>
#include <vector>

namespace calvex {

namespace {

std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == ',') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

}  // namespace

std::optional<LineFormat> ParseLineFormat(const std::string& text) {
    const std::vector<std::string> f = fields(text);
    if (f.size() != 4) return std::nullopt;
    LineFormat format;

    const std::string& baud = f[0];
    if (baud.empty() || baud.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const auto [end, ec] = std::from_chars(baud.data(), baud.data() + baud.size(), format.baud);
    if (ec != std::errc() || end != baud.data() + baud.size() || format.baud <= 0)
        return std::nullopt;

    if (f[1].size() != 1) return std::nullopt;
    const auto parity = static_cast<char>(std::toupper(static_cast<unsigned char>(f[1][0])));
    if (std::string_view("NEOMS").find(parity) == std::string_view::npos) return std::nullopt;
    format.parity = parity;

    if (f[2].size() != 1 || f[2][0] < '5' || f[2][0] > '8') return std::nullopt;
    format.dataBits = f[2][0] - '0';

    if (f[3] == "1") {
        format.stopBits = LineFormat::Stop::One;
    } else if (f[3] == "1.5") {
        format.stopBits = LineFormat::Stop::OneAndHalf;
    } else if (f[3] == "2") {
        format.stopBits = LineFormat::Stop::Two;
    } else {
        return std::nullopt;
    }
    return format;
}

std::string LineFormatText(const LineFormat& format) {
    const char* stop = format.stopBits == LineFormat::Stop::One          ? "1"
                       : format.stopBits == LineFormat::Stop::OneAndHalf ? "1.5"
                                                                         : "2";
    return std::to_string(format.baud) + "," + format.parity + "," +
           std::to_string(format.dataBits) + "," + stop;
}

}  // namespace calvex
