#include "shell/qt/BackupsTable.h"

namespace calvex {

TextTable ComparisonTable(const ImageComparison& c, const std::string& first,
                          const std::string& second) {
    TextTable table = {{"Group", "Item", first, second, "Addresses"}};
    for (const ItemDifference& d : c.items)
        table.push_back({"Adjustment items", d.title, d.backupValue, d.currentValue, ""});
    for (const MapDifference& d : c.others) {
        table.push_back({"Other parts of the memory", d.name, d.backupText, d.currentText,
                         AddressList(d.addresses)});
    }
    return table;
}

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
