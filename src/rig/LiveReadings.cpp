#include "rig/LiveReadings.h"

#include <cmath>
#include <cstdio>

#include "shell/Common.h"
#include "shell/FormatPattern.h"

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

bool CheckE8Answer(const std::string& answer, const std::string& answerPrefix) {
    if (answer.size() != 7) return true;
    if (answer.compare(0, answerPrefix.size(), answerPrefix) != 0) return true;
    return HexByteAt(answer, 5) < 0;
}

int16_t E8AnswerValue(const std::string& answer) {
    return static_cast<int16_t>(ByteStrHexToInt(answer.substr(5, 2)) & 0xFF);
}

}  // namespace calvex
