// The report of a service visit, from a scripted visit to the simulated transceiver: it names
// exactly what changed. Its document is what every output renders.
#include "rig/ServiceReport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "rig/FlowBench.h"
#include "rig/ReportSamples.h"

namespace calvex {
namespace {

using testing::FlowBench;

std::string Joined(const std::vector<std::string>& texts) {
    std::string line;
    for (const auto& text : texts)
        line += (line.empty() ? "" : " | ") + text;
    return line;
}

// The document as the technician reads it, a line a block: the title, "# " and a heading, the
// lines of a paragraph ("p"), a list ("ul") or columns ("pre"), the table's headings and a line
// a row (its changed mark last), a curve's name and caption.
std::vector<std::string> Outline(const ReportDocument& d) {
    struct Block {
        std::vector<std::string>& outline;
        void operator()(const ReportHeading& h) const { outline.push_back("# " + h.text); }
        void operator()(const ReportLines& l) const {
            switch (l.style) {
                case ReportLineStyle::Paragraph:
                    outline.push_back("p: " + Joined(l.lines));
                    break;
                case ReportLineStyle::Bullets:
                    outline.push_back("ul: " + Joined(l.lines));
                    break;
                case ReportLineStyle::Fixed:
                    outline.push_back("pre: " + Joined(l.lines));
                    break;
            }
        }
        void operator()(const ReportTable& t) const {
            std::vector<std::string> headings;
            for (const auto& column : t.columns)
                headings.push_back(column.heading);
            headings.push_back(t.changedHeading);
            outline.push_back("table: " + Joined(headings));
            for (const auto& row : t.rows)
                outline.push_back("row: " + Joined(row.cells) +
                                  (row.changed ? " | " + t.changedText : ""));
        }
        void operator()(const ReportCurve& c) const {
            outline.push_back("curve " + c.name + ": " + c.caption);
        }
    };
    std::vector<std::string> outline = {d.title};
    for (const auto& block : d.blocks)
        std::visit(Block{outline}, block);
    return outline;
}

// The outline's line that begins with prefix, or "" when none does.
std::string LineOf(const std::vector<std::string>& outline, const std::string& prefix) {
    const auto it = std::find_if(outline.begin(), outline.end(), [&](const std::string& line) {
        return line.rfind(prefix, 0) == 0;
    });
    return it == outline.end() ? std::string() : *it;
}

std::set<std::string> Changed(const ServiceReport& r) {
    std::set<std::string> names;
    for (const auto& item : r.items) {
        if (item.changed) names.insert(item.name);
    }
    return names;
}

TEST(ServiceReport, AVisitNamesWhatChangedFoundAndLeftAndTheSweep) {
    FlowBench b;
    b.core.Click(0);  // Connect
    ASSERT_TRUE(b.tickUntil([&] { return b.state() == 19 && !b.anyChanged(); }));
    const ServiceReport untouched = b.core.ReportOfVisit({});
    EXPECT_TRUE(Changed(untouched).empty());
    EXPECT_EQ(untouched.backups.size(), 1u) << "the read at Connect";

    const int16_t power = b.console.Value(FlowBench::kPowerHi);
    b.console.UpDown(FlowBench::kPowerHi, -3);
    b.enter(FlowBench::kBpfT1);
    ASSERT_TRUE(b.tickUntil([&] { return b.procStep() != 0; }));
    ASSERT_TRUE(b.tickUntil([&] { return b.procStep() == 0; }, 20000));
    const int16_t t1 = b.console.Value(FlowBench::kBpfT1);

    ServiceVisit facts;
    facts.technician = "A. Tech";
    facts.time = "2026-12-10 23:40 (22:40 UTC)";
    const ServiceReport r = b.core.ReportOfVisit(facts);
    EXPECT_EQ(Changed(r), (std::set<std::string>{"Power(Hi)", "BPF T1"}));
    // Changed ones first, then the others.
    ASSERT_GE(r.items.size(), 3u);
    EXPECT_TRUE(r.items[0].changed && r.items[1].changed && !r.items[2].changed);
    for (const auto& item : r.items) {
        if (item.name == "Power(Hi)") {
            EXPECT_EQ(item.found, std::to_string(power));
            EXPECT_EQ(item.left, std::to_string(power - 3));
        }
    }
    ASSERT_EQ(r.sweeps.size(), 1u);
    EXPECT_EQ(r.sweeps[0].filter, "BPF T1");
    EXPECT_EQ(r.sweeps[0].curve.optimum, t1);
    EXPECT_TRUE(r.txf.empty());
    EXPECT_TRUE(r.otherChanges.empty()) << r.otherChanges.front();
    EXPECT_NE(r.title.find("Velka 2601/0100, serial "), std::string::npos);

    const std::vector<std::string> outline = Outline(BuildReportDocument(r));
    EXPECT_NE(LineOf(outline, "p: Date: ").find(" | Technician: A. Tech | "), std::string::npos);
    EXPECT_NE(LineOf(outline, "# Adjustment items (2 changed)"), "");
    EXPECT_NE(LineOf(outline, "curve BPF T1: BPF T1: set to " + std::to_string(t1) + ","), "")
        << ::testing::PrintToString(outline);
    EXPECT_EQ(LineOf(outline, "row: Power(Hi)"), "row: Power(Hi) | " + std::to_string(power) +
                                                     " | " + std::to_string(power - 3) +
                                                     " | changed");
    const std::string csv = ServiceReportCsv(r);
    EXPECT_EQ(csv.rfind("item,found,left,changed\r\n", 0), 0u);
    EXPECT_NE(csv.find("Power(Hi)," + std::to_string(power) + "," + std::to_string(power - 3) +
                       ",yes\r\n"),
              std::string::npos)
        << csv;
}

// What the technician reads, decided once for every output: the sections in order, their
// headings, the changed rows marked and what an empty section says.
TEST(ReportDocument, LaysOutTheSectionsInOrderWithWhatAnEmptyOneSays) {
    const std::vector<std::string> header = {
        "p: Date: 2026-12-10 23:40 (22:40 UTC) | Technician: <i>A. Tech</i> | Constants: "
        "/home/a&b/Const.ini, 1a2b3c4d"};
    const std::vector<std::string> items = {
        "# Adjustment items (2 changed)", "table: Item | Found | Left | Changed",
        "row: Power(Hi) | 210 | 213 | changed", "row: BPF T1 | 40 | 44 | changed",
        "row: Mod <W> | 128 | 128"};
    const auto joined = [](std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> lines;
        for (const auto& part : parts)
            lines.insert(lines.end(), part.begin(), part.end());
        return lines;
    };
    const std::vector<std::vector<std::string>> expected = {
        joined({{"Service report: Velka 2601/0100, serial <b>12345678"},
                header,
                items,
                {"# TXF table", "ul: TXF table 1: 10 11 -> 12 13", "# Band-pass filter sweeps",
                 "curve BPF T1: BPF T1: set to 44, plateau 42..46, 20 points",
                 "# Other changes in the memory", "ul: Address 1200 <spare>: 00 -> 01",
                 "# Readings at the end", "pre: Read 23:39 | VCC   7.51 V   [A/D] | TEMP  <25>",
                 "# Backups made in this visit",
                 "ul: velka-20417735-20261210-2240.vbk | <img src=\"x.png\">.vbk"}}),
        {"Service report: Velka 2601/0100, serial 1", "# Adjustment items (0 changed)",
         "table: Item | Found | Left | Changed", "# TXF table", "p: unchanged",
         "# Band-pass filter sweeps", "p: none in this visit", "# Readings at the end",
         "p: not read", "# Backups made in this visit", "p: none"},
        joined({{"Service report: Velka 2601/0100, serial <b>12345678"},
                header,
                items,
                {"# TXF table", "p: unchanged", "# Band-pass filter sweeps",
                 "p: not kept in backups", "# Readings at the end", "p: not kept in backups",
                 "# Backups the report is made from", "p: none"}}),
    };
    const auto samples = testing::ReportSamples();
    ASSERT_EQ(samples.size(), expected.size());
    for (std::size_t k = 0; k < samples.size(); ++k) {
        SCOPED_TRACE(samples[k].name);
        EXPECT_EQ(Outline(BuildReportDocument(samples[k].report)), expected[k]);
    }
}

// The text carries every block of the document, in order; a table row stays one line.
TEST(ReportDocument, TheTextCarriesEveryBlockInOrder) {
    for (const auto& sample : testing::ReportSamples()) {
        SCOPED_TRACE(sample.name);
        const std::string text = ServiceReportText(sample.report);
        EXPECT_EQ(
            testing::MissingText(text, testing::ReportTexts(BuildReportDocument(sample.report))),
            "");
    }
    const std::string text = ServiceReportText(testing::FullReport());
    EXPECT_TRUE(std::regex_search(text, std::regex("\nPower\\(Hi\\) +210 +213 +changed\n")))
        << text;
}

TEST(ServiceReport, CsvFieldsAreQuotedWhenTheyMustBe) {
    ServiceReport r;
    r.items = {{"A, \"B\"", "1", "2", true}, {"C", "3", "3", false}};
    EXPECT_EQ(ServiceReportCsv(r),
              "item,found,left,changed\r\n\"A, \"\"B\"\"\",1,2,yes\r\nC,3,3,no\r\n");
}

}  // namespace
}  // namespace calvex
