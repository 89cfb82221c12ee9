// A table of text in the two forms it is copied and saved in.
#include "base/TextTable.h"

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
    Text, TableField,
    ::testing::Values(
        FieldCase{"Plain", "Power(Hi)", "Power(Hi)", "Power(Hi)"}, FieldCase{"Empty", "", "", ""},
        FieldCase{"Comma", "RX 146.52 MHz, High", "\"RX 146.52 MHz, High\"", "RX 146.52 MHz, High"},
        FieldCase{"Quote", "a \"b\"", "\"a \"\"b\"\"\"", "a \"b\""},
        FieldCase{"LineFeed", "a\nb", "\"a\nb\"", "a b"},
        FieldCase{"CarriageReturn", "a\r\nb", "\"a\r\nb\"", "a  b"},
        FieldCase{"Tab", "a\tb", "a\tb", "a b"}, FieldCase{"Spaces", " a ", " a ", " a "}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace calvex
