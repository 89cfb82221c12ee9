#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "memory/clsIndEep_RigVelka.h"

namespace calvex {
namespace {

constexpr std::array<int16_t, 22> kBorders{0,   16,  24,  32,  40,  48,  64,  80,  96,  112, 128,
                                           144, 160, 176, 192, 208, 216, 224, 232, 240, 255, 0};

std::vector<std::string> splitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, pos - start));
        start = pos + 2;
    }
    EXPECT_EQ(start, text.size()) << "text does not end with CR LF";
    return lines;
}

class MemoryMapTest : public ::testing::Test {
  protected:
    void writeBytes(int32_t adr, std::initializer_list<uint8_t> bytes) {
        for (auto b : bytes)
            image.WriteByte(adr++, b);
    }
    // Compares the whole dump with one built here from the image, line by line.
    void expectDumpOfTheImage();

    clsCmcEeprom image;
    clsIndEep_RigVelka map{image};
};

TEST_F(MemoryMapTest, ChannelPresenceAndFrequency) {
    struct Case {
        std::array<uint8_t, 4> rx;
        bool inhibited, present;
        int32_t hz;
    } cases[] = {
        {{0x80, 0x00, 0x00, 0x00}, true, true, 0},
        {{0x00, 0x00, 0x00, 0x00}, false, false, 0},
        {{0x08, 0xF0, 0xD1, 0x80}, false, true, 150000000},
        {{0xFF, 0xFF, 0xFF, 0xFF}, true, true, 0},  // erased record counts as present
    };
    for (const auto& c : cases) {
        writeBytes(606 + 24 * 3, {c.rx[0], c.rx[1], c.rx[2], c.rx[3]});
        EXPECT_EQ(map.Check_Inh(606 + 24 * 3), c.inhibited);
        EXPECT_EQ(map.RigVelkaEep_GetChAppear(3), c.present);
        if (!c.inhibited) {
            EXPECT_EQ(map.RigVelkaEep_GetChFreqRxReal(3), c.hz);
        }
    }
    writeBytes(610, {0x08, 0xF0, 0xD1, 0x80});
    EXPECT_EQ(map.RigVelkaEep_GetChFreqTxReal(0), 150000000);
    EXPECT_NO_THROW((void)map.ReadFreqBlock(606 + 24 * 3));  // top bit set: no failure
    EXPECT_FALSE(map.RigVelkaEep_GetChAppear(-1));
    EXPECT_THROW((void)map.RigVelkaEep_GetChFreqRxReal(-1), std::out_of_range);
}

TEST_F(MemoryMapTest, PowerModeAndName) {
    struct Case {
        uint8_t byte;
        int16_t code;
    } cases[] = {{0x03, 0}, {0x02, 1}, {0x00, 2}, {0x01, 2}, {0xFF, 0}, {0xFE, 1}};
    for (const auto& c : cases) {
        image.WriteByte(618 + 24 * 2, c.byte);
        EXPECT_EQ(map.RigVelkaEep_GetChRFPower(2), c.code) << int{c.byte};
    }
    image.WriteByte(621 + 24 * 1, 0x80);
    EXPECT_TRUE(map.RigVelkaEep_GetChMode(1));
    image.WriteByte(621 + 24 * 1, 0x7F);
    EXPECT_FALSE(map.RigVelkaEep_GetChMode(1));

    EXPECT_EQ(map.RigVelkaEep_GetChName(0), "1");
    EXPECT_EQ(map.RigVelkaEep_GetChName(9), "10");
    EXPECT_THROW((void)map.RigVelkaEep_GetChName(10), std::out_of_range);
    EXPECT_THROW((void)map.RigVelkaEep_GetChName(-1), std::out_of_range);
}

TEST_F(MemoryMapTest, BaseFrequency) {
    writeBytes(92, {0x05, 0xDC});
    EXPECT_EQ(map.ReadBaseFreqBlock(), 150000000);
    writeBytes(92, {0xFF, 0xFF});
    EXPECT_THROW((void)map.ReadBaseFreqBlock(), std::overflow_error);
}

TEST_F(MemoryMapTest, ParameterDump) {
    image.WriteByte(79, 200);   // line 1, unsigned
    image.WriteByte(78, 5);     // line 2
    image.WriteByte(68, 0xC8);  // line 10, signed
    image.WriteByte(69, 0x80);  // line 11, -128 fills the field
    image.WriteByte(105, 255);  // line 46
    writeBytes(92, {0x05, 0xDC});
    image.WriteByte(217, 131);        // REF Initial 0
    image.WriteByte(216 + 38, 0xFF);  // REF Slant 19
    image.WriteByte(217 + 38, 7);     // REF Initial 19

    const auto lines = splitCrLf(map.RigVelkaEep_DispPara(kBorders));
    ASSERT_EQ(lines.size(), 108u);
    const std::pair<int, const char*> expected[] = {
        {1, "                POW HI Level:  200"},
        {2, "                POW L2 Level:    5"},
        {9, "                   SQL Level:    0"},
        {10, "                BPF T1 Level:  -56"},
        {11, "                BPF T2 Level: -128"},
        {46, "            BAL N Correction:  255"},
        {47, "              Base Frequency:  150.000MHz"},
        {48, "             REF Area 0:    0"},
        {49, "             REF Area 1:   16"},
        {68, "            REF Area 20:  255"},
        {69, "          REF Initial 0:  131"},
        {88, "         REF Initial 19:    7"},
        {89, "            REF Slant 0:    0"},
        {108, "           REF Slant 19:   -1"},
    };
    for (const auto& [number, text] : expected) {
        EXPECT_EQ(lines[static_cast<std::size_t>(number - 1)], text) << "line " << number;
    }
    for (std::size_t k = 0; k < 47; ++k)
        EXPECT_EQ(lines[k].find(": "), 28u) << k;
    for (std::size_t k = 47; k < 108; ++k)
        EXPECT_EQ(lines[k].find(": "), 23u) << k;
}

TEST_F(MemoryMapTest, EveryLineOfTheDumpOfARandomImage) {
    // Random bytes, and the same with every top bit set so that each signed byte shows negative.
    for (const int top : {0x00, 0x80}) {
        SCOPED_TRACE(top);
        std::mt19937 rng(20240607);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int32_t a = 0; a < 1664; ++a)
            image.WriteByte(a, static_cast<uint8_t>(byte(rng) | top));
        expectDumpOfTheImage();
    }
}

void MemoryMapTest::expectDumpOfTheImage() {
    // Names of lines 1..46 with their byte; 's' marks a signed byte.
    struct Line {
        const char* name;
        int32_t adr;
        char kind;
    };
    const Line lines[] = {
        {"POW HI Level", 79, 'u'},
        {"POW L2 Level", 78, 'u'},
        {"POW L1 Level", 77, 'u'},
        {"BAL W Level", 106, 'u'},
        {"BAL N Level", 107, 'u'},
        {"MOD W Level", 72, 'u'},
        {"MOD N Level", 73, 'u'},
        {"CTCS/DTCS Level", 76, 'u'},
        {"SQL Level", 274, 'u'},
        {"BPF T1 Level", 68, 's'},
        {"BPF T2 Level", 69, 's'},
        {"AGC Start", 101, 'u'},
        {"AGC End", 102, 'u'},
        {"AGC Slant", 103, 'u'},
        {"MOD Slant(Freq) Band0", 49, 's'},
        {"MOD Slant(Freq) Band1", 50, 's'},
        {"MOD Slant(Freq) Band2", 51, 's'},
        {"MOD Slant(Freq) Band3", 52, 's'},
        {"MOD Slant(Freq) Band4", 53, 's'},
        {"Tone Slant(Freq) Band0", 54, 's'},
        {"Tone Slant(Freq) Band1", 55, 's'},
        {"Tone Slant(Freq) Band2", 56, 's'},
        {"Tone Slant(Freq) Band3", 57, 's'},
        {"Tone Slant(Freq) Band4", 58, 's'},
        {"POW Slant(Freq) Band0", 59, 's'},
        {"POW Slant(Freq) Band1", 60, 's'},
        {"POW Slant(Freq) Band2", 61, 's'},
        {"POW Slant(Freq) Band3", 62, 's'},
        {"POW Slant(Freq) Band4", 63, 's'},
        {"BAL Slant(Freq) Band0", 96, 's'},
        {"BAL Slant(Freq) Band1", 97, 's'},
        {"BAL Slant(Freq) Band2", 98, 's'},
        {"BAL Slant(Freq) Band3", 99, 's'},
        {"BAL Slant(Freq) Band4", 100, 's'},
        {"MOD Slant(Temp) Area", 64, 's'},
        {"Tone Slant(Temp) Area", 65, 's'},
        {"SQL Slant(Temp) Area", 66, 's'},
        {"BAL Slant(Temp) Area", 75, 's'},
        {"CTCSS Tone Correction", 80, 'u'},
        {"DTCS Tone Correction", 81, 'u'},
        {"LTR W Tone Correction", 82, 'u'},
        {"LTR N Tone Correction", 83, 'u'},
        {"MOD W Correction", 84, 'u'},
        {"MOD N Correction", 85, 'u'},
        {"BAL W Correction", 104, 'u'},
        {"BAL N Correction", 105, 'u'},
    };
    // A label right-aligned to its width, then the value in 4 columns.
    const auto line = [](const std::string& name, std::size_t width, int value) {
        char field[16];
        std::snprintf(field, sizeof field, "%4d", value);
        return std::string(width - name.size() - 2, ' ') + name + ": " + field + "\r\n";
    };
    const auto unsignedAt = [&](int32_t adr) { return static_cast<int>(image.ReadByte(adr)); };
    const auto signedAt = [&](int32_t adr) {
        return static_cast<int>(int8_t(image.ReadByte(adr)));
    };

    std::string expected;
    for (const Line& l : lines)
        expected += line(l.name, 30, l.kind == 's' ? signedAt(l.adr) : unsignedAt(l.adr));
    char mhz[16];
    std::snprintf(mhz, sizeof mhz, "%8.3f", (unsignedAt(92) * 256 + unsignedAt(93)) / 10.0);
    expected += std::string("              Base Frequency: ") + mhz + "MHz\r\n";
    for (int n = 0; n <= 20; ++n)
        expected +=
            line("REF Area " + std::to_string(n), 25, kBorders[static_cast<std::size_t>(n)]);
    for (int n = 0; n <= 19; ++n)
        expected += line("REF Initial " + std::to_string(n), 25, unsignedAt(217 + 2 * n));
    for (int n = 0; n <= 19; ++n)
        expected += line("REF Slant " + std::to_string(n), 25, signedAt(216 + 2 * n));

    const std::string text = map.RigVelkaEep_DispPara(kBorders);
    const auto got = splitCrLf(text);
    const auto want = splitCrLf(expected);
    ASSERT_EQ(want.size(), 108u);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k)
        EXPECT_EQ(got[k], want[k]) << "line " << k + 1;
    EXPECT_EQ(text, expected);
}

TEST_F(MemoryMapTest, DumpOfAnErasedImageStillShowsTheBaseFrequency) {
    writeBytes(92, {0xFF, 0xFF});
    const auto lines = splitCrLf(map.RigVelkaEep_DispPara(kBorders));
    ASSERT_EQ(lines.size(), 108u);
    EXPECT_EQ(lines[46], "              Base Frequency: 6553.500MHz");
}

TEST_F(MemoryMapTest, DumpNeedsTheWholeBorderTable) {
    const std::array<int16_t, 20> tooShort{};
    EXPECT_THROW((void)map.RigVelkaEep_DispPara(tooShort), std::out_of_range);
}

TEST_F(MemoryMapTest, HexDump) {
    image.WriteByte(0, 0xAB);
    image.WriteByte(1663, 0x5C);
    std::string text = "before";
    map.RigVelkaEep_DispDebug(text);
    ASSERT_EQ(text.rfind("before", 0), 0u);
    const auto lines = splitCrLf(text.substr(6));
    ASSERT_EQ(lines.size(), 3u + 1u + 104u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "       EEPROM Data");
    EXPECT_EQ(lines[2], "       00  01  02  03  04  05  06  07  08  09  0A  0B  0C  0D  0E  0F");
    EXPECT_EQ(lines[3], "      " + std::string(64, '-'));
    EXPECT_EQ(lines[4], "00h |  AB  00  00  00  00  00  00  00  00  00  00  00  00  00  00  00");
    EXPECT_EQ(lines[107], "67h |  00  00  00  00  00  00  00  00  00  00  00  00  00  00  00  5C");
}

}  // namespace
}  // namespace calvex
