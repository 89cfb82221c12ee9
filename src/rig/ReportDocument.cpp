#include "rig/ReportDocument.h"

#include <algorithm>
#include <cctype>

#include "base/TextTable.h"

namespace calvex {

namespace {

// A table as rows of text, its headings first; the last column is the changed mark, yes in a
// changed row and no in the others.
TextTable Grid(const ReportTable& table, const std::string& yes, const std::string& no) {
    TextTable grid(1);
    for (const auto& column : table.columns)
        grid[0].push_back(column.heading);
    grid[0].push_back(table.changedHeading);
    for (const auto& row : table.rows) {
        grid.push_back(row.cells);
        grid.back().resize(table.columns.size());
        grid.back().push_back(row.changed ? yes : no);
    }
    return grid;
}

// Renders each kind of block as plain text onto the end of text.
struct TextRenderer {
    std::string& text;

    void operator()(const ReportHeading& heading) const { text += "\n" + heading.text + "\n"; }

    void operator()(const ReportLines& lines) const {
        for (const auto& line : lines.lines)
            text += (lines.style == ReportLineStyle::Bullets ? "- " : "") + line + "\n";
    }

    void operator()(const ReportTable& table) const {
        const TextTable grid = Grid(table, table.changedText, "");
        std::vector<std::size_t> widths(grid[0].size());
        for (const auto& row : grid) {
            for (std::size_t c = 0; c < row.size(); ++c)
                widths[c] = std::max(widths[c], row[c].size());
        }
        for (const auto& row : grid) {
            std::string line;
            for (std::size_t c = 0; c < row.size(); ++c) {
                const std::string pad(widths[c] - row[c].size(), ' ');
                const bool right = c < table.columns.size() && table.columns[c].numeric;
                line += (c > 0 ? "  " : "") + (right ? pad + row[c] : row[c] + pad);
            }
            line.erase(line.find_last_not_of(' ') + 1);
            text += line + "\n";
        }
    }

    void operator()(const ReportCurve& curve) const { text += curve.caption + "\n"; }
};

}  // namespace

std::string ReportDocumentText(const ReportDocument& document) {
    std::string text = document.title + "\n";
    for (const auto& block : document.blocks)
        std::visit(TextRenderer{text}, block);
    return text;
}

std::string ReportDocumentCsv(const ReportDocument& document) {
    for (const auto& block : document.blocks) {
        const auto* table = std::get_if<ReportTable>(&block);
        if (table == nullptr) continue;
        TextTable csv = Grid(*table, "yes", "no");
        for (std::string& heading : csv[0]) {
            for (char& ch : heading)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        return CsvText(csv);
    }
    return {};
}

}  // namespace calvex
