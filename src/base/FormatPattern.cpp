#include "base/FormatPattern.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace calvex {

namespace {

bool isPlaceholder(char c) {
    return c == '0' || c == '#';
}

}  // namespace

std::string FormatPattern(double value, const std::string& pattern) {
    // The digit field is the run of placeholders and the point; literals stand around it.
    const auto first = pattern.find_first_of("0#.");
    if (first == std::string::npos) return pattern;
    auto last = first;
    while (last < pattern.size() && (isPlaceholder(pattern[last]) || pattern[last] == '.'))
        ++last;
    const std::string field = pattern.substr(first, last - first);
    const std::string prefix = pattern.substr(0, first);
    const std::string suffix = pattern.substr(last);

    if (pattern.find('%') != std::string::npos) value *= 100.0;

    const auto point = field.find('.');
    const std::string intPart = field.substr(0, point);
    const std::string decPart = point == std::string::npos ? "" : field.substr(point + 1);
    std::size_t minIntDigits = 0;
    for (char c : intPart)
        minIntDigits += c == '0';

    // printf rounds the exact binary value correctly, and exact ties to the even neighbour.
    const int decimals = static_cast<int>(decPart.size());
    std::vector<char> buf(static_cast<std::size_t>(decimals) + 400);
    std::snprintf(buf.data(), buf.size(), "%.*f", decimals, std::fabs(value));
    std::string digits = buf.data();
    const auto dot = digits.find('.');
    std::string whole = digits.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : digits.substr(dot + 1);

    const bool isZero = whole.find_first_not_of('0') == std::string::npos &&
                        frac.find_first_not_of('0') == std::string::npos;
    const bool negative = value < 0 && !isZero;

    whole.erase(0, whole.find_first_not_of('0'));  // "0" becomes ""
    while (whole.size() < minIntDigits)
        whole.insert(whole.begin(), '0');
    // Trailing zeros go only where the pattern's decimal position is "#".
    while (!frac.empty() && frac.back() == '0' && decPart[frac.size() - 1] == '#')
        frac.pop_back();

    std::string out = prefix;
    if (negative) out += '-';
    out += whole;
    if (point != std::string::npos) out += '.' + frac;
    return out + suffix;
}

std::string AlignRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

}  // namespace calvex
