#include "rig/LiveReadings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Common.h"
#include "base/FormatPattern.h"

namespace calvex {

std::optional<double> ThermistorCelsius(int16_t raw) {
    if (raw <= 0 || raw >= 255) return std::nullopt;
    const double u = raw * 5.0 / 255.0;
    const double q = (500000.0 - 100000.0 * u) / u / 47000.0;
    return 1.0 / (std::log(q) / 4000.0 + 1.0 / 298.15) - 273.15;
}

std::string ReadingRowText(const ReadingRow& row, int16_t raw) {
    char rawPart[16];
    std::snprintf(rawPart, sizeof rawPart, "%3d:", raw);
    std::string text = std::string(row.label) + rawPart + IntToHex2(raw) + "h:";
    switch (row.scale) {
        case ReadingScale::Volts20:
            return text + AlignRight(FormatPattern(raw * 20.0 / 255.0, row.pattern), 7);
        case ReadingScale::Volts5:
            return text + AlignRight(FormatPattern(raw * 5.0 / 255.0, row.pattern), 7);
        case ReadingScale::Percent:
            return text + AlignRight(FormatPattern(raw / 255.0, row.pattern), 7);
        case ReadingScale::Celsius:
            if (const auto t = ThermistorCelsius(raw)) {
                return text + AlignRight(FormatPattern(*t, row.pattern), 8);
            }
            return text + "*Error";
    }
    return text;
}

const char* ReadingUnit(ReadingScale scale) {
    switch (scale) {
        case ReadingScale::Volts20:
        case ReadingScale::Volts5:
            return "V";
        case ReadingScale::Percent:
            return "%";
        case ReadingScale::Celsius:
            return "\u00B0C";
    }
    return "";
}

std::optional<double> ReadingValue(const ReadingRow& row, int16_t raw) {
    switch (row.scale) {
        case ReadingScale::Volts20:
            return raw * 20.0 / 255.0;
        case ReadingScale::Volts5:
            return raw * 5.0 / 255.0;
        case ReadingScale::Percent:
            return raw * 100.0 / 255.0;
        case ReadingScale::Celsius:
            return ThermistorCelsius(raw);
    }
    return std::nullopt;
}

ReadingsAge ReadingsAgeText(std::optional<int64_t> ageMs, bool live) {
    if (!ageMs) return {"Not read yet", false};
    const int64_t age = std::max<int64_t>(*ageMs, 0);
    if (live && age <= kReadingsStaleMs) return {"Live", false};
    const int64_t s = age / 1000;
    std::string text = "Read ";
    if (s < 60) {
        text += std::to_string(s) + " s ago";
    } else if (s < 3600) {
        text += std::to_string(s / 60) + " min ago";
    } else {
        text += std::to_string(s / 3600) + " h ago";
    }
    const bool stale = !live && age > kReadingsStaleMs;
    if (stale) text += " - press F5 to refresh";
    return {text, stale};
}

bool CheckE8Answer(const std::string& answer, const std::string& answerPrefix) {
    if (answer.size() != 7) return true;
    if (answer.compare(0, answerPrefix.size(), answerPrefix) != 0) return true;
    return HexByteAt(answer, 5) < 0;
}

int16_t E8AnswerValue(const std::string& answer) {
    return static_cast<int16_t>(ByteStrHexToInt(answer.substr(5, 2)) & 0xFF);
}

}  // namespace calvex
