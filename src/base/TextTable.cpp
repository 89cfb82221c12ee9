#include "base/TextTable.h"

namespace calvex {

std::string TabSeparated(const TextTable& table) {
    std::string text;
    for (const auto& row : table) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) text += '\t';
            for (char ch : row[i])
                text += ch == '\t' || ch == '\n' || ch == '\r' ? ' ' : ch;
        }
        text += '\n';
    }
    return text;
}

std::string CsvText(const TextTable& table) {
    std::string text;
    for (const auto& row : table) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) text += ',';
            const std::string& field = row[i];
            if (field.find_first_of(",\"\r\n") == std::string::npos) {
                text += field;
                continue;
            }
            text += '"';
            for (char ch : field) {
                if (ch == '"') text += '"';
                text += ch;
            }
            text += '"';
        }
        text += "\r\n";
    }
    return text;
}

}  // namespace calvex
