#include "base/Common.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace calvex {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

struct RecordingBox : IMessageBox {
    std::string text, title, detail;
    int16_t critical(const std::string& t, const std::string& ti, const std::string& d) override {
        text = t;
        title = ti;
        detail = d;
        return kButtonOk;
    }
};

TEST(Common, MsgBoxCriticalShowsExpandedTextUnderProgramTitle) {
    RecordingBox box;
    EXPECT_EQ(MsgBoxCritical(box, "one\\ntwo"), kButtonOk);
    EXPECT_EQ(box.text, "one\r\ntwo");
    EXPECT_EQ(box.title, "Calvex ADJ Rev.1.0");
    EXPECT_EQ(box.detail, "");
    // The detail travels with its message, as given.
    EXPECT_EQ(MsgBoxCritical(box, "three", "/dev/ttyUSB0: No such file\\n"), kButtonOk);
    EXPECT_EQ(box.text, "three");
    EXPECT_EQ(box.detail, "/dev/ttyUSB0: No such file\\n");
}

TEST(Common, ExpandNewLineKeepsLengthAndRealLineBreaks) {
    EXPECT_EQ(ExpandNewLine("A\\nB\\n"), "A\r\nB\r\n");
    EXPECT_EQ(ExpandNewLine("x\r\ny"), "x\r\ny");
    EXPECT_EQ(ExpandNewLine("\\"), "\\");
    EXPECT_EQ(ExpandNewLine("\\\\n"), "\\\r\n");
}

TEST(Common, HexStrToByteStr) {
    struct Case {
        const char* text;
        std::string expected;
    } cases[] = {
        {"E0 26 01", bytes({0xE0, 0x26, 0x01})},
        {"E026010", bytes({0xE0, 0x26, 0x01})},  // a final single digit is ignored
        {"", ""},
        {"E", ""},
        {"  0a", bytes({0x0A})},  // lower case digits read too
        {"G1", bytes({0x00})},    // a non-hex first character gives 0
        {"1G", bytes({0x01})},    // a non-hex second one leaves the first alone
        {"12,34",
         bytes({0x12, 0x00})},  // only blanks are skipped: ",3" reads as 0, "4" is left over
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexStrToByteStr(c.text), c.expected) << c.text;
}

TEST(Common, ByteStrToHexStr) {
    EXPECT_EQ(ByteStrToHexStr(bytes({0x00, 0x0A, 0xFF})), "000AFF");
    EXPECT_EQ(ByteStrToHexStr(""), "");
}

TEST(Common, ByteStrHexToInt) {
    EXPECT_EQ(ByteStrHexToInt(bytes({0x31, 0x41})), 26);
    EXPECT_EQ(ByteStrHexToInt("FFFF"), -1);
    EXPECT_EQ(ByteStrHexToInt("8000"), -32768);
    EXPECT_EQ(ByteStrHexToInt(" 1\t2\n3"), 0x123);
    EXPECT_EQ(ByteStrHexToInt("12Z4"), 0x12);
    EXPECT_EQ(ByteStrHexToInt("zz"), 0);
    EXPECT_EQ(ByteStrHexToInt(""), 0);
    EXPECT_EQ(ByteStrHexToInt("07FFF"), 0x7FFF);
    EXPECT_EQ(ByteStrHexToInt("FFFFFFFF"), -1);
    EXPECT_THROW(ByteStrHexToInt("10000"), std::overflow_error);
    EXPECT_THROW(ByteStrHexToInt("123456789"), std::overflow_error);
}

TEST(Common, IntToHex2AndAsciiHex) {
    EXPECT_EQ(IntToHex2(1), "01");
    EXPECT_EQ(IntToHex2(-1), "FF");
    EXPECT_EQ(IntToHex2(300), "2C");
    EXPECT_EQ(IntToAsciiHexStr(1), "3031");
    EXPECT_EQ(IntToAsciiHexStr(15), "3046");
    EXPECT_EQ(IntToAsciiHexStr(200), "4338");
    EXPECT_EQ(IntToAsciiHexStr(-1), "4646");
}

TEST(Common, UIntToHexKeepsTheLowestDigits) {
    EXPECT_EQ(UIntToHex(0x1C291CA3u, 8), "1C291CA3");
    EXPECT_EQ(UIntToHex(0x0Au, 8), "0000000A");
    EXPECT_EQ(UIntToHex(0xFFFFFFFFu, 8), "FFFFFFFF");
    EXPECT_EQ(UIntToHex(0xABCDu, 2), "CD");
}

TEST(Common, HexByteAtReadsOnePairOfEitherCase) {
    struct Case {
        const char* text;
        std::size_t at;
        int expected;
    } cases[] = {
        {"3f", 0, 0x3F}, {"A0", 0, 0xA0}, {"xA09", 1, 0xA0}, {"xA09", 2, 0x09},
        {"xA09", 3, -1}, {"A", 0, -1},    {"", 0, -1},       {"ab", 5, -1},
        {"G0", 0, -1},   {"0G", 0, -1},   {" 1", 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexByteAt(c.text, c.at), c.expected) << c.text << " at " << c.at;
}

TEST(Common, HexToBytesStrictTakesWholePairsOnly) {
    struct Case {
        const char* text;
        std::optional<std::string> expected;
    } cases[] = {
        {"00ff7A", bytes({0x00, 0xFF, 0x7A})},
        {"", std::string()},
        {"0", std::nullopt},
        {"0g", std::nullopt},
        {"00 11", std::nullopt},
        {"001", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexToBytesStrict(c.text), c.expected) << c.text;
}

TEST(Common, IsUpperHexRefusesLowerCaseAndOtherCharacters) {
    EXPECT_TRUE(IsUpperHex("0123456789ABCDEF"));
    EXPECT_TRUE(IsUpperHex(""));
    EXPECT_FALSE(IsUpperHex("2601a"));
    EXPECT_FALSE(IsUpperHex("26G1"));
    EXPECT_FALSE(IsUpperHex(" 260"));
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('g'), -1);
}

}  // namespace
}  // namespace calvex
