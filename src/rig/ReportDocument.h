#pragma once

#include <string>
#include <variant>
#include <vector>

#include "rig/SweepCurve.h"

namespace calvex {

// A report laid out once, as a title and blocks in order. Every output (the preview and the PDF,
// the plain text, the CSV) is a rendering of it: which sections there are, in what order, and
// every text they show are decided where the document is built; a renderer only lays them out
// (the CSV alone writes the changed mark its own way, "yes" or "no").

struct ReportHeading {
    std::string text;
};

enum class ReportLineStyle {
    Paragraph,  // one paragraph, a line break between its lines
    Bullets,    // a list, an entry a line
    Fixed,      // columns made of spaces: a fixed-width font keeps them aligned
};

struct ReportLines {
    ReportLineStyle style = ReportLineStyle::Paragraph;
    std::vector<std::string> lines;
};

struct ReportColumn {
    std::string heading;
    bool numeric = false;  // set flush right
    bool strong = false;   // stands out in a changed row
};

struct ReportRow {
    std::vector<std::string> cells;  // one a column
    bool changed = false;
};

// A table whose last column marks the changed rows: changedHeading heads it, a changed row shows
// changedText there.
struct ReportTable {
    std::vector<ReportColumn> columns;
    std::vector<ReportRow> rows;
    std::string changedHeading;
    std::string changedText;
};

// A sweep's curve, drawn where the output can draw, with its caption; name titles the drawing.
struct ReportCurve {
    std::string name;
    std::string caption;
    SweepCurve curve;
};

using ReportBlock = std::variant<ReportHeading, ReportLines, ReportTable, ReportCurve>;

struct ReportDocument {
    std::string title;
    std::vector<ReportBlock> blocks;
};

// The document as plain text: the title, then every block, a blank line before each heading;
// a table in aligned columns, a curve as its caption.
std::string ReportDocumentText(const ReportDocument& document);

// The document's first table as CSV: its headings in lower case, then a row each, the changed
// mark written "yes" or "no" so that every row has a value there.
std::string ReportDocumentCsv(const ReportDocument& document);

}  // namespace calvex
