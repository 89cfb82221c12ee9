#include "memory/clsCmcEeprom.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace calvex {
namespace {

TEST(Eeprom, SingleByteBounds) {
    clsCmcEeprom ee;
    EXPECT_EQ(ee.eeSize(), 1664);
    EXPECT_EQ(ee.WriteByte(1663, 7), 0);
    EXPECT_EQ(ee.ReadByte(1663), 7);
    EXPECT_EQ(ee.ReadByte(1664), 0);
    EXPECT_EQ(ee.ReadByte(-1), 0);
    EXPECT_EQ(ee.WriteByte(1664, 5), 1);
    EXPECT_EQ(ee.WriteByte(-1, 5), 1);
}

TEST(Eeprom, ReadBit) {
    clsCmcEeprom ee;
    ee.WriteByte(3, 128);
    EXPECT_EQ(ee.ReadBit(3, 7), 1);
    EXPECT_EQ(ee.ReadBit(3, 6), 0);
    ee.WriteByte(4, 0xFF);
    EXPECT_EQ(ee.ReadBit(4, 0), 1);
    EXPECT_EQ(ee.ReadBit(4, 8), 0);
    EXPECT_EQ(ee.ReadBit(4, -1), 0);
    EXPECT_EQ(ee.ReadBit(1664, 0), 0);
}

TEST(Eeprom, FillBlockChecksOnePastTheEnd) {
    clsCmcEeprom ee;
    EXPECT_EQ(ee.FillBlock(0, 255, 1664), 1);
    EXPECT_EQ(ee.ReadByte(0), 0);
    EXPECT_EQ(ee.FillBlock(0, 255, 1663), 0);
    EXPECT_EQ(ee.ReadByte(1662), 255);
    EXPECT_EQ(ee.ReadByte(1663), 0);
    EXPECT_EQ(ee.FillBlock(5, 1, 0), 0);
    EXPECT_EQ(ee.FillBlock(5, 1, -6), 1);
}

TEST(Eeprom, WriteBlockIsAllOrNothing) {
    clsCmcEeprom ee;
    EXPECT_EQ(ee.WriteBlock(1660, std::string("\x01\x02\x03\x04", 4)), 0);
    EXPECT_EQ(ee.ReadBlock(1660, 4), std::string("\x01\x02\x03\x04", 4));
    EXPECT_EQ(ee.WriteBlock(1660, std::string("\x09\x09\x09\x09\x09", 5)), 1);
    EXPECT_EQ(ee.ReadByte(1660), 1);
    EXPECT_EQ(ee.WriteBlock(0, ""), 1);
    EXPECT_EQ(ee.WriteBlock(10, ""), 0);
    EXPECT_EQ(ee.WriteBlock(2147483647, "ab"), 1);
}

TEST(Eeprom, ReadBlock) {
    clsCmcEeprom ee;
    EXPECT_EQ(ee.ReadBlock(0, 0), "");
    EXPECT_EQ(ee.ReadBlock(0, -3), "");
    EXPECT_EQ(ee.ReadBlock(1663, 2).size(), 2u);  // the one spare byte is reachable
    EXPECT_THROW(ee.ReadBlock(1663, 3), std::out_of_range);
    EXPECT_THROW(ee.ReadBlock(-1, 1), std::out_of_range);
}

TEST(Eeprom, ResizingEmptiesTheImage) {
    clsCmcEeprom ee;
    ee.WriteByte(3, 9);
    ee.eeSize(16);
    EXPECT_EQ(ee.ReadByte(3), 0);
    EXPECT_EQ(ee.WriteByte(16, 1), 1);
    EXPECT_EQ(ee.WriteByte(15, 1), 0);
    EXPECT_THROW(ee.eeSize(-1), std::out_of_range);
}

}  // namespace
}  // namespace calvex
