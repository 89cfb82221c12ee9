// The comparison as a table of text: its rows, and the two forms it is copied and saved in.
#include "shell/qt/BackupsTable.h"

#include <gtest/gtest.h>

#include <string>

namespace calvex {
namespace {

struct FieldCase {
    const char* name;
    std::string field;
    std::string csv;
    std::string tabbed;
};

class TableField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(TableField, IsWrittenSoThatTheRowStaysWhole) {
    const FieldCase& c = GetParam();
    const TextTable table = {{"Item", "Now"}, {c.field, "end"}};
    EXPECT_EQ(CsvText(table), "Item,Now\r\n" + c.csv + ",end\r\n");
    EXPECT_EQ(TabSeparated(table), "Item\tNow\n" + c.tabbed + "\tend\n");
}

INSTANTIATE_TEST_SUITE_P(
    Qt, TableField,
    ::testing::Values(
        FieldCase{"Plain", "Power(Hi)", "Power(Hi)", "Power(Hi)"}, FieldCase{"Empty", "", "", ""},
        FieldCase{"Comma", "RX 146.52 MHz, High", "\"RX 146.52 MHz, High\"", "RX 146.52 MHz, High"},
        FieldCase{"Quote", "a \"b\"", "\"a \"\"b\"\"\"", "a \"b\""},
        FieldCase{"LineFeed", "a\nb", "\"a\nb\"", "a b"},
        FieldCase{"CarriageReturn", "a\r\nb", "\"a\r\nb\"", "a  b"},
        FieldCase{"Tab", "a\tb", "a\tb", "a b"}, FieldCase{"Spaces", " a ", " a ", " a "}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ComparisonTable, OneRowPerDifferenceUnderItsHeader) {
    ImageComparison c;
    c.items = {{"Power(Hi)", "210", "215"}, {"SQL", "40", "45"}};
    c.others = {{"Memory channel 2", 630, 653, {631, 632, 640}, "RX 1", "RX 2"},
                {"Bytes after the channel records", 1662, 1663, {1662, 1663}, "00 00", "FF FF"}};
    EXPECT_EQ(ComparisonTable(c, "Backup", "Now"),
              (TextTable{{"Group", "Item", "Backup", "Now", "Addresses"},
                         {"Adjustment items", "Power(Hi)", "210", "215", ""},
                         {"Adjustment items", "SQL", "40", "45", ""},
                         {"Other parts of the memory", "Memory channel 2", "RX 1", "RX 2",
                          "631..632, 640"},
                         {"Other parts of the memory", "Bytes after the channel records", "00 00",
                          "FF FF", "1662..1663"}}));
    EXPECT_EQ(ComparisonTable({}, "Backup", "Other backup"),
              (TextTable{{"Group", "Item", "Backup", "Other backup", "Addresses"}}));
}

}  // namespace
}  // namespace calvex
