// The report of a service visit, from a scripted visit to the simulated transceiver: it names
// exactly what changed.
#include "rig/ServiceReport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "rig/FlowBench.h"

namespace calvex {
namespace {

using testing::FlowBench;

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

    const std::string text = ServiceReportText(r);
    EXPECT_NE(text.find("Technician: A. Tech"), std::string::npos);
    EXPECT_NE(text.find("Adjustment items (2 changed)"), std::string::npos);
    EXPECT_NE(text.find("BPF T1: set to " + std::to_string(t1)), std::string::npos) << text;
    const std::string csv = ServiceReportCsv(r);
    EXPECT_EQ(csv.rfind("item,found,left,changed\r\n", 0), 0u);
    EXPECT_NE(csv.find("Power(Hi)," + std::to_string(power) + "," + std::to_string(power - 3) +
                       ",yes\r\n"),
              std::string::npos)
        << csv;
}

TEST(ServiceReport, CsvFieldsAreQuotedWhenTheyMustBe) {
    ServiceReport r;
    r.items = {{"A, \"B\"", "1", "2", true}, {"C", "3", "3", false}};
    EXPECT_EQ(ServiceReportCsv(r),
              "item,found,left,changed\r\n\"A, \"\"B\"\"\",1,2,yes\r\nC,3,3,no\r\n");
}

}  // namespace
}  // namespace calvex
