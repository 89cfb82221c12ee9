// A backup against the program's image: the items as the console shows them, then the rest of
// the memory map by name.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/BuiltInImage.h"
#include "rig/ImageComparison.h"
#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

using Writes = std::vector<std::pair<int32_t, uint8_t>>;

struct Row {
    std::string name;
    std::vector<int32_t> addresses;
    std::string backup;
    std::string now;
};

struct CompareCase {
    const char* name;
    Writes writes;  // what differs in the current image
    std::vector<ItemDifference> items;
    std::vector<Row> others;
};

void PrintTo(const CompareCase& c, std::ostream* os) {
    *os << c.name;
}

class Compare : public testing::RigVelkaFixture, public ::testing::WithParamInterface<CompareCase> {
  protected:
    Compare() {
        backup.WriteBlock(0, velka::builtInImage());
        current.WriteBlock(0, velka::builtInImage());
    }
    clsCmcEeprom backup;
    clsCmcEeprom current;
};

TEST_F(Compare, IdenticalImagesHaveNoDifference) {
    const auto c = CompareImages(backup, current, rig.RigVelkaOp_ComparedItems());
    EXPECT_TRUE(c.identical());
    EXPECT_TRUE(ComparisonLines(c).empty());
}

TEST_F(Compare, TheItemTableIsTheConsoles) {
    const auto items = rig.RigVelkaOp_ComparedItems();
    ASSERT_EQ(items.size(), 14u);
    EXPECT_EQ(items[1].title, " Power(Hi)");
    EXPECT_EQ(items[1].eeAdr, 79);
    EXPECT_EQ(items[5].ratioWideAdr, 106);
    EXPECT_EQ(items[5].ratioNarrowAdr, 107);
    EXPECT_EQ(items[7].ratioWideAdr, 72);
    EXPECT_EQ(items[7].ratioNarrowAdr, 73);
    EXPECT_TRUE(items[11].eeSigned);
    EXPECT_EQ(items[11].min, -128);
}

TEST_P(Compare, ListsWhatDiffers) {
    const CompareCase& c = GetParam();
    for (const auto& [adr, value] : c.writes)
        current.WriteByte(adr, value);
    const auto result = CompareImages(backup, current, rig.RigVelkaOp_ComparedItems());

    ASSERT_EQ(result.items.size(), c.items.size());
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        EXPECT_EQ(result.items[i].title, c.items[i].title);
        EXPECT_EQ(result.items[i].backupValue, c.items[i].backupValue) << c.items[i].title;
        EXPECT_EQ(result.items[i].currentValue, c.items[i].currentValue) << c.items[i].title;
    }
    ASSERT_EQ(result.others.size(), c.others.size());
    for (std::size_t i = 0; i < c.others.size(); ++i) {
        EXPECT_EQ(result.others[i].name, c.others[i].name);
        EXPECT_EQ(result.others[i].addresses, c.others[i].addresses) << c.others[i].name;
        EXPECT_EQ(result.others[i].backupText, c.others[i].backup) << c.others[i].name;
        EXPECT_EQ(result.others[i].currentText, c.others[i].now) << c.others[i].name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rig, Compare,
    ::testing::Values(
        CompareCase{"TwoItems",
                    {{79, 215}, {274, 100}},
                    {{"Power(Hi)", "210", "215"}, {"SQL", "90", "100"}},
                    {}},
        CompareCase{"SignedItem", {{68, 0xF6}}, {{"BPF T1", "10", "-10"}}, {}},
        // The narrow level behind a ratio item: the ratio as shown, and the byte itself.
        CompareCase{"NarrowLevel",
                    {{107, 90}},
                    {{"BAL Ratio", "128", "153"}},
                    {{"BAL N Level", {107}, "75", "90"}}},
        // Both levels moved so that the ratio did not: the narrow byte still shows.
        CompareCase{"RatioUnmoved",
                    {{72, 142}, {73, 71}},
                    {{"MOD W", "140", "142"}},
                    {{"MOD N Level", {73}, "70", "71"}}},
        CompareCase{"BaseFrequency",
                    {{92, 0x06}, {93, 0x00}},
                    {},
                    {{"Base frequency", {92, 93}, "136.000 MHz", "153.600 MHz"}}},
        CompareCase{"ChannelFrequency",
                    {{611, 0xF0}},
                    {},
                    {{"Memory channel 1",
                      {611},
                      "RX 146.520000 MHz, TX 146.520000 MHz, High, Wide",
                      "RX 146.520000 MHz, TX 149.993408 MHz, High, Wide"}}},
        CompareCase{"ChannelBytesNotDecoded",
                    {{630 + 20, 0x12}, {630 + 21, 0x34}},
                    {},
                    {{"Memory channel 2", {650, 651}, "00 00", "12 34"}}},
        CompareCase{"ChannelErased",
                    {{726, 0x00}, {727, 0x00}, {728, 0x00}, {729, 0x00}},
                    {},
                    {{"Memory channel 6",
                      {726, 727, 728, 729},
                      "RX 158.805000 MHz, TX 158.805000 MHz, Low2, Wide",
                      "not programmed"}}},
        CompareCase{
            "OscillatorArea",
            {{216 + 6, 0x05}, {216 + 7, 140}},
            {},
            {{"TXF table area 3", {222, 223}, "initial 121, slant 12", "initial 140, slant 5"}}},
        CompareCase{"DumpParameter", {{101, 70}}, {}, {{"AGC Start", {101}, "64", "70"}}},
        CompareCase{"RssiLevel", {{86, 80}}, {}, {{"RSSI S1 Level", {86}, "72", "80"}}},
        CompareCase{"UnnamedRun",
                    {{300, 1}, {301, 2}, {303, 3}},
                    {},
                    {{"Parameter bytes", {300, 301}, "00 00", "01 02"},
                     {"Parameter bytes", {303}, "00", "03"}}},
        CompareCase{"EndOfTheImage",
                    {{1662, 0x00}, {1663, 0x01}},
                    {},
                    {{"Bytes after the channel records", {1662, 1663}, "FF FF", "00 01"}}},
        CompareCase{"ItemsThenTheMapInAddressOrder",
                    {{1663, 0x01}, {92, 0x04}, {69, 0x00}, {606 + 24 * 7 + 15, 0x00}},
                    {{"BPF T2", "-24", "0"}},
                    {{"Base frequency", {92}, "136.000 MHz", "110.400 MHz"},
                     {"Memory channel 8",
                      {789},
                      "RX 173.225000 MHz, TX 173.225000 MHz, High, Narrow",
                      "RX 173.225000 MHz, TX 173.225000 MHz, High, Wide"},
                     {"Bytes after the channel records", {1663}, "FF", "01"}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ImageComparison, AddressesReadAsRanges) {
    EXPECT_EQ(AddressList({}), "");
    EXPECT_EQ(AddressList({79}), "79");
    EXPECT_EQ(AddressList({79, 100, 101, 102, 103, 274}), "79, 100..103, 274");
    EXPECT_EQ(AddressList({0, 1, 1663}), "0..1, 1663");
}

TEST(ImageComparison, LinesForTheTechnician) {
    ImageComparison c;
    c.items.push_back({"Power(Hi)", "210", "215"});
    c.others.push_back({"Base frequency", 92, 93, {92, 93}, "136.000 MHz", "150.000 MHz"});
    EXPECT_EQ(ComparisonLines(c),
              (std::vector<std::string>{
                  "Power(Hi): backup 210, now 215",
                  "Base frequency (at 92..93): backup 136.000 MHz, now 150.000 MHz",
              }));
}

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
