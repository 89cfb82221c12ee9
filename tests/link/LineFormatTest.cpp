// The serial line's format as a settings text spells it.
#include "link/LineFormat.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace calvex {
namespace {

using Stop = LineFormat::Stop;

struct FormatCase {
    const char* name;
    const char* text;
    std::optional<LineFormat> format;
};

class SettingsText : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SettingsText, IsReadWhole) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(ParseLineFormat(c.text), c.format);
    if (c.format) {
        EXPECT_EQ(ParseLineFormat(LineFormatText(*c.format)), c.format);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Link, SettingsText,
    ::testing::Values(FormatCase{"CloneRate", "9600,N,8,1", LineFormat{9600, 'N', 8, Stop::One}},
                      FormatCase{"HighRate", "38400,N,8,1", LineFormat{38400, 'N', 8, Stop::One}},
                      FormatCase{"SevenEvenTwo", "1200,e,7,2", LineFormat{1200, 'E', 7, Stop::Two}},
                      FormatCase{"FiveMarkOneAndHalf", "300,M,5,1.5",
                                 LineFormat{300, 'M', 5, Stop::OneAndHalf}},
                      FormatCase{"OddSpace", "19200,O,6,1", LineFormat{19200, 'O', 6, Stop::One}},
                      FormatCase{"Space", "19200,S,8,1", LineFormat{19200, 'S', 8, Stop::One}},
                      FormatCase{"RateAlone", "9600", std::nullopt},
                      FormatCase{"NoRate", ",N,8,1", std::nullopt},
                      FormatCase{"ZeroRate", "0,N,8,1", std::nullopt},
                      FormatCase{"NegativeRate", "-9600,N,8,1", std::nullopt},
                      FormatCase{"RateTooLarge", "99999999999,N,8,1", std::nullopt},
                      FormatCase{"RateWithText", "9600x,N,8,1", std::nullopt},
                      FormatCase{"UnknownParity", "9600,X,8,1", std::nullopt},
                      FormatCase{"ParityWord", "9600,None,8,1", std::nullopt},
                      FormatCase{"NineDataBits", "9600,N,9,1", std::nullopt},
                      FormatCase{"FourDataBits", "9600,N,4,1", std::nullopt},
                      FormatCase{"ThreeStopBits", "9600,N,8,3", std::nullopt},
                      FormatCase{"Blanks", "9600, N, 8, 1", std::nullopt},
                      FormatCase{"FifthField", "9600,N,8,1,x", std::nullopt},
                      FormatCase{"Empty", "", std::nullopt}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LineFormat, WrittenAsTheSettingsTextSpellsIt) {
    EXPECT_EQ(LineFormatText(LineFormat{}), "9600,N,8,1");
    EXPECT_EQ(LineFormatText(LineFormat{38400, 'E', 7, Stop::OneAndHalf}), "38400,E,7,1.5");
}

}  // namespace
}  // namespace calvex
