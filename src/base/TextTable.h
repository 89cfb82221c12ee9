#pragma once

#include <string>
#include <vector>

namespace calvex {

// A table of text, its header line first.
using TextTable = std::vector<std::vector<std::string>>;

// Fields between tabs, a line feed after every row; a tab or line break inside a field becomes a
// space, so that every row stays one line of a spreadsheet.
std::string TabSeparated(const TextTable& table);

// RFC 4180: fields between commas, CR LF after every row; a field holding a comma, a double
// quote or a line break is quoted, its double quotes doubled.
std::string CsvText(const TextTable& table);

}  // namespace calvex
