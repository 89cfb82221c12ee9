#pragma once

#include <string>
#include <variant>
#include <vector>

#include "rig/ServiceReport.h"

namespace calvex::testing {

// Reports with every section filled, with none, and of an earlier visit; their texts hold
// markup, which every rendering must show as written.
struct ReportSample {
    const char* name;
    ServiceReport report;
};

inline ServiceReport FullReport() {
    ServiceReport r;
    r.title = "Service report: Velka 2601/0100, serial <b>12345678";
    r.header = {"Date: 2026-12-10 23:40 (22:40 UTC)", "Technician: <i>A. Tech</i>",
                "Constants: /home/a&b/Const.ini, 1a2b3c4d"};
    r.items = {{"Power(Hi)", "210", "213", true},
               {"BPF T1", "40", "44", true},
               {"Mod <W>", "128", "128", false}};
    r.txf = {"TXF table 1: 10 11 -> 12 13"};
    SweepCurve curve;
    for (int16_t s = 30; s < 50; ++s)
        curve.points.push_back({s, static_cast<int16_t>(s * 2), s * 2 * 5.0 / 255.0});
    curve.firstBest = 42;
    curve.lastBest = 46;
    curve.optimum = 44;
    curve.serial = 1;
    r.sweeps = {{"BPF T1", "set to 44, plateau 42..46, 20 points", curve}};
    r.otherChanges = {"Address 1200 <spare>: 00 -> 01"};
    r.readings = {"Read 23:39", "VCC   7.51 V   [A/D]", "TEMP  <25>"};
    r.backups = {"velka-20417735-20261210-2240.vbk", "<img src=\"x.png\">.vbk"};
    return r;
}

inline std::vector<ReportSample> ReportSamples() {
    ServiceReport empty;
    empty.title = "Service report: Velka 2601/0100, serial 1";
    ServiceReport earlier = FullReport();
    earlier.fromBackups = true;
    earlier.txf.clear();
    earlier.sweeps.clear();
    earlier.otherChanges.clear();
    earlier.readings.clear();
    earlier.backups.clear();
    return {{"Full", FullReport()}, {"Empty", empty}, {"Earlier", earlier}};
}

// Every text a document shows, in its order: what each rendering must carry.
inline std::vector<std::string> ReportTexts(const ReportDocument& document) {
    struct Collect {
        std::vector<std::string>& texts;
        void operator()(const ReportHeading& h) const { texts.push_back(h.text); }
        void operator()(const ReportLines& l) const {
            texts.insert(texts.end(), l.lines.begin(), l.lines.end());
        }
        void operator()(const ReportTable& t) const {
            for (const auto& column : t.columns)
                texts.push_back(column.heading);
            texts.push_back(t.changedHeading);
            for (const auto& row : t.rows) {
                texts.insert(texts.end(), row.cells.begin(), row.cells.end());
                if (row.changed) texts.push_back(t.changedText);
            }
        }
        void operator()(const ReportCurve& c) const { texts.push_back(c.caption); }
    };
    std::vector<std::string> texts = {document.title};
    for (const auto& block : document.blocks)
        std::visit(Collect{texts}, block);
    return texts;
}

// Where a rendering misses one of the texts, or has it out of order; empty when it carries all.
inline std::string MissingText(const std::string& rendering,
                               const std::vector<std::string>& texts) {
    std::size_t at = 0;
    for (const auto& text : texts) {
        const auto found = rendering.find(text, at);
        if (found == std::string::npos)
            return "\"" + text + "\" missing after offset " + std::to_string(at) + " of\n" +
                   rendering;
        at = found + text.size();
    }
    return {};
}

}  // namespace calvex::testing
