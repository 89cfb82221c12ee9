#pragma once

#include <string>

namespace calvex {

// Formats a number through a display pattern such as "##0.#0V", "0.00%" or "#000.#####0MHz":
// "0" is a digit always shown, "#" a digit shown only when significant (no padding), "." the
// decimal point, "%" multiplies by 100 and shows a percent sign, every other character is
// shown as it stands. The value is rounded to the pattern's decimals, ties to the even
// neighbour; trailing zeros are dropped only where the pattern has "#".
std::string FormatPattern(double value, const std::string& pattern);

// Pads text with blanks on the left to width characters (longer text stays whole).
std::string AlignRight(const std::string& text, std::size_t width);

}  // namespace calvex
