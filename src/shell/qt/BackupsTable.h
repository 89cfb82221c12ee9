#pragma once

#include <string>
#include <vector>

#include "rig/ImageComparison.h"

namespace calvex {

// A table of text, its header line first.
using TextTable = std::vector<std::vector<std::string>>;

// The comparison as one row per difference, under a header line: the group (adjustment items,
// then the other parts of the memory), the item or part, its value in each image (headed first
// and second), and the addresses of a part that differ.
TextTable ComparisonTable(const ImageComparison& comparison, const std::string& first,
                          const std::string& second);

// Fields between tabs, a line feed after every row; a tab or line break inside a field becomes a
// space, so that every row stays one line of a spreadsheet.
std::string TabSeparated(const TextTable& table);

// RFC 4180: fields between commas, CR LF after every row; a field holding a comma, a double
// quote or a line break is quoted, its double quotes doubled.
std::string CsvText(const TextTable& table);

}  // namespace calvex
