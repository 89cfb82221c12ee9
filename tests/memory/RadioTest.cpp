#include "memory/clsCmcRadio.h"

#include <gtest/gtest.h>

namespace calvex {
namespace {

TEST(Radio, StartsBlank) {
    clsCmcRadio radio;
    EXPECT_EQ(radio.radioNameM(), "0000");
    EXPECT_EQ(radio.radionameS(), "0000");
    EXPECT_EQ(radio.cloneWriteAdrList(), "");
    EXPECT_EQ(radio.eepImage.eeSize(), 1664);
}

TEST(Radio, CloneWriteAddressList) {
    clsCmcRadio radio;
    radio.cloneWriteAdrList_Add(0, 1663);
    EXPECT_EQ(radio.cloneWriteAdrList(), "0000-067F,");
    radio.cloneWriteAdrList_Add(16, 31);
    EXPECT_EQ(radio.cloneWriteAdrList(), "0000-067F,0010-001F,");
    radio.cloneWriteAdrList_Clear();
    radio.cloneWriteAdrList_Add(0x10000, 0x1000F);
    EXPECT_EQ(radio.cloneWriteAdrList(), "0000-000F,");
    radio.cloneWriteAdrList_Clear();
    EXPECT_EQ(radio.cloneWriteAdrList(), "");
}

TEST(Radio, CodesAndImageAreShared) {
    clsCmcRadio radio;
    radio.radioNameM("2601");
    radio.radionameS("0100");
    EXPECT_EQ(radio.radioNameM(), "2601");
    EXPECT_EQ(radio.radionameS(), "0100");
    clsCmcEeprom& ref = radio.eepImage;
    ref.WriteByte(5, 42);
    EXPECT_EQ(radio.eepImage.ReadByte(5), 42);
}

}  // namespace
}  // namespace calvex
