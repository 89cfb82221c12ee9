#include "shell/Common.h"

#include <gtest/gtest.h>

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
    std::string text, title;
    int16_t critical(const std::string& t, const std::string& ti) override {
        text = t;
        title = ti;
        return kButtonOk;
    }
};

TEST(Common, MsgBoxCriticalShowsExpandedTextUnderProgramTitle) {
    RecordingBox box;
    EXPECT_EQ(MsgBoxCritical(box, "one\\ntwo"), kButtonOk);
    EXPECT_EQ(box.text, "one\r\ntwo");
    EXPECT_EQ(box.title, "Calvex ADJ Rev.1.0");
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

}  // namespace
}  // namespace calvex
