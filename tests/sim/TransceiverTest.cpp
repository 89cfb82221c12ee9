#include "model/Transceiver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <stdexcept>

#include "model/BuiltInImage.h"
#include "sim/SimFrames.h"

using namespace simtest;
using velka::Fault;
using velka::Transceiver;

namespace {

constexpr int kBlocks = 104;

class RadioTest : public ::testing::Test {
  protected:
    // Sends a frame at now and returns everything that reached the computer waitMs later.
    std::string exchange(const std::string& frame, int32_t baud = 9600, int64_t waitMs = 3000) {
        radio.fromComputer(frame, baud, now);
        now += waitMs;
        return radio.toComputer(now);
    }
    std::vector<std::string> answers(const std::string& frame, int32_t baud = 9600) {
        return radioFrames(exchange(frame, baud, 10000));
    }
    // A whole clone read; the image it carries, the block bodies and the closing E5.
    struct CloneRead {
        std::vector<std::string> blocks;
        std::string e5;
        std::string image;
    };
    CloneRead cloneRead(int32_t baud = 9600) {
        CloneRead r;
        for (const std::string& body :
             radioFrames(exchange(request(0xE2, kIdentity), baud, 10000))) {
            if (at(body, 3) == 0xE4) {
                r.blocks.push_back(body);
                const std::string text = body.substr(3);
                const int n = hexValue(text, 4);
                for (int i = 0; i < n; ++i) {
                    r.image += static_cast<char>(hexValue(text, 6 + 2 * static_cast<size_t>(i)));
                }
            } else if (at(body, 3) == 0xE5) {
                r.e5 = body;
            }
        }
        return r;
    }
    std::string cloneWrite(const std::string& image, int badBlockAdr = -1) {
        std::string out = request(0xE3, kIdentity);
        for (int adr = 0; adr < 1664; adr += 16) {
            out += writeBlock(adr, image.substr(adr, 16), adr == badBlockAdr ? 1 : 0);
        }
        out += request(0xE5, kSignature);
        return out;
    }

    Transceiver radio;
    int64_t now = 1000;
};

TEST_F(RadioTest, IdentifiesItselfWithAFiftyByteAnswer) {
    const std::string req = identify();
    const std::string out = exchange(req);
    ASSERT_EQ(out.substr(0, req.size()), req) << "the cable echoes the request first";
    const auto frames = radioFrames(out);
    ASSERT_EQ(frames.size(), 1u);
    const std::string& e1 = frames[0];
    ASSERT_EQ(e1.size(), 50u);
    EXPECT_EQ(e1.substr(0, 7), bytes({0xEF, 0xEE, 0xE1, 0x26, 0x01, 0x01, 0x00}));
    EXPECT_EQ(at(e1, 8), 43) << "count of bytes from byte 8 to the end";
    EXPECT_EQ(at(e1, 43), 0x05);
    EXPECT_EQ(e1.find_first_of(bytes({0xFE, 0xFD})), std::string::npos);
}

TEST_F(RadioTest, ReportsTheSerialNumberSet) {
    // Bytes 9..16 on the wire (counting from 1).
    EXPECT_EQ(radioFrames(exchange(identify()))[0].substr(8, 8), "20417735");
    radio.serial("31415926");
    EXPECT_EQ(radio.serial(), "31415926");
    const auto frames = radioFrames(exchange(identify()));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 50u);
    EXPECT_EQ(frames[0].substr(8, 8), "31415926");
    EXPECT_EQ(at(frames[0], 17), 0x01) << "firmware follows the serial number";
}

TEST(RadioSerial, MustHoldEightCharacters) {
    Transceiver radio;
    for (const char* bad : {"", "1234567", "123456789"}) {
        EXPECT_THROW(radio.serial(bad), std::invalid_argument) << bad;
    }
    EXPECT_EQ(radio.serial(), "20417735");
}

TEST_F(RadioTest, AnswersArePacedAtTenBitsAByte) {
    radio.fromComputer(identify(), 9600, now);
    // 53 bytes (FE FE, 50-byte body, FD) at 9600 baud take 55.2 ms after a 2 ms turnaround.
    const std::string early = radio.toComputer(now + 30);
    EXPECT_EQ(early.size(), identify().size() + 26);
    EXPECT_EQ(radio.toComputer(now + 57).size(), 53u - 26u - 1u);
    EXPECT_EQ(radio.toComputer(now + 58).size(), 1u);
    EXPECT_FALSE(radio.nextOutputMs().has_value());
}

TEST_F(RadioTest, PacedInputTakesTheWireTimeOfTheComputersBytes) {
    // The identification request is 10 bytes: 10.4 ms at 9600 baud, 10 bits a byte.
    ASSERT_EQ(identify().size(), 10u);
    for (const bool paced : {false, true}) {
        SCOPED_TRACE(paced ? "paced" : "at once");
        Transceiver r;
        r.pacedInput(paced);
        r.fromComputer(identify(), 9600, now);
        // At once every byte is echoed as handed in; paced, the echo follows each byte's end.
        EXPECT_EQ(r.toComputer(now).size(), paced ? 0u : 10u);
        if (paced) {
            EXPECT_EQ(r.toComputer(now + 5).size(), 4u);  // bytes ending at 1.04..4.17 ms
            EXPECT_EQ(r.toComputer(now + 10).size(), 5u);
            EXPECT_EQ(r.toComputer(now + 11).size(), 1u);  // the FD, at 10.4 ms
        }
        // The answer starts 2 ms after the request's FD has crossed the wire: its first byte
        // ends 3.04 ms after the FD (at 0 ms, or at 10.4 ms paced).
        const int64_t firstByteBy = now + (paced ? 14 : 4);
        EXPECT_EQ(r.toComputer(firstByteBy - 1).size(), 0u);
        EXPECT_EQ(r.toComputer(firstByteBy).size(), 1u);
    }
}

TEST_F(RadioTest, CloneReadSendsTheWholeBuiltInImage) {
    const CloneRead r = cloneRead();
    ASSERT_EQ(r.blocks.size(), static_cast<size_t>(kBlocks));
    for (int i = 0; i < kBlocks; ++i) {
        const std::string& b = r.blocks[static_cast<size_t>(i)];
        ASSERT_EQ(b.size(), 3u + 2 * (4 + 16)) << "block " << i;
        const std::string text = b.substr(3);
        EXPECT_EQ(hexValue(text, 0) * 256 + hexValue(text, 2), 16 * i);
        EXPECT_EQ(hexValue(text, 4), 16);
        int sum = 0;
        for (size_t p = 0; p < text.size(); p += 2) {
            sum += hexValue(text, p);
        }
        EXPECT_EQ(sum % 256, 0) << "checksum of block " << i;
    }
    EXPECT_TRUE(r.image == velka::builtInImage());
    EXPECT_EQ(r.e5, bytes({0xEF, 0xEE, 0xE5}) + kSignature + "68");
}

TEST_F(RadioTest, BuiltInImageIsAPlausibleRadio) {
    const std::string img = velka::builtInImage();
    ASSERT_EQ(img.size(), 1664u);
    auto u32 = [&](int adr) {
        return (uint32_t{at(img, adr + 1)} << 24) | (uint32_t{at(img, adr + 2)} << 16) |
               (uint32_t{at(img, adr + 3)} << 8) | at(img, adr + 4);
    };
    int programmed = 0, txInhibited = 0, empty = 0, narrow = 0;
    std::set<int> powers;
    for (int ch = 0; ch < 8; ++ch) {
        const int rec = 606 + 24 * ch;
        const uint32_t rx = u32(rec);
        if (rx == 0) {
            ++empty;
            continue;
        }
        ++programmed;
        EXPECT_GE(rx, 136000000u);
        EXPECT_LE(rx, 174000000u);
        if (at(img, rec + 5) & 0x80) {
            ++txInhibited;
        } else {
            EXPECT_GE(u32(rec + 4), 136000000u);
            EXPECT_LE(u32(rec + 4), 174000000u);
        }
        powers.insert(at(img, rec + 13) & 0x03);
        narrow += (at(img, rec + 16) & 0x80) ? 1 : 0;
    }
    EXPECT_GE(programmed, 5);
    EXPECT_EQ(empty, 1);
    EXPECT_EQ(txInhibited, 1);
    EXPECT_GE(powers.size(), 3u);
    EXPECT_GT(narrow, 0);
    EXPECT_LT(narrow, programmed);
    EXPECT_EQ(at(img, 93) * 256 + at(img, 94), 1360) << "base frequency 136 MHz";
    for (int k = 0; k < 20; ++k) {
        EXPECT_GT(at(img, 218 + 2 * k), 64) << "initial value of area " << k;
        EXPECT_LT(at(img, 218 + 2 * k), 192);
    }
}

TEST_F(RadioTest, CloneReadNeedsTheRadiosIdentity) {
    EXPECT_TRUE(answers(request(0xE2, bytes({0x26, 0x01, 0x01, 0x01}))).empty());
    EXPECT_TRUE(answers(request(0xE2, bytes({0x26, 0x02, 0x01, 0x00}))).empty());
}

TEST_F(RadioTest, CloneWriteRoundTrip) {
    std::string img = velka::builtInImage();
    for (size_t i = 0; i < img.size(); ++i) {
        img[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    }
    const auto frames = answers(cloneWrite(img));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], bytes({0xEF, 0xEE, 0xE6, 0x00}));
    EXPECT_TRUE(radio.image() == img);
    EXPECT_TRUE(cloneRead().image == img);
}

struct BadWriteCase {
    const char* name;
    std::string extra;  // a frame slipped in before the closing E5
};

class BadCloneWriteTest : public RadioTest, public ::testing::WithParamInterface<BadWriteCase> {};

TEST_P(BadCloneWriteTest, IsRefusedAndLeavesTheImage) {
    std::string frames = request(0xE3, kIdentity) + writeBlock(0, std::string(16, '\x55')) +
                         GetParam().extra + request(0xE5, kSignature);
    const auto out = answers(frames);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], bytes({0xEF, 0xEE, 0xE6, 0x01}));
    EXPECT_TRUE(radio.image() == velka::builtInImage());
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BadCloneWriteTest,
    ::testing::Values(BadWriteCase{"checksum", writeBlock(0x10, std::string(16, 'x'), 1)},
                      BadWriteCase{"beyond_image", writeBlock(0x0678, std::string(16, 'x'))},
                      BadWriteCase{"not_hex", request(0xE4, "0010011G00")},
                      BadWriteCase{"count_wrong", request(0xE4, "00100241FF")}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(RadioTest, WrongSignatureFailsTheWrite) {
    std::string frames = request(0xE3, kIdentity) + writeBlock(0, std::string(16, 'x')) +
                         request(0xE5, bytes({0x56, 0x61, 0x72}));
    const auto out = answers(frames);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(at(out[0], 4), 0x01);
}

struct AdjustCase {
    int cmd;
    int value;
    int address;
};

class AdjustTest : public RadioTest, public ::testing::WithParamInterface<AdjustCase> {};

TEST_P(AdjustTest, LandsInTheImageAndTheNextCloneRead) {
    const AdjustCase c = GetParam();
    ASSERT_NE(radio.imageByte(c.address), c.value) << "pick a value that changes something";
    EXPECT_TRUE(answers(adjust(c.cmd, c.value)).empty()) << "adjustments are not answered";
    EXPECT_EQ(radio.imageByte(c.address), c.value);
    EXPECT_EQ(radio.lastCommand(), c.cmd);
    EXPECT_EQ(static_cast<uint8_t>(cloneRead().image.at(static_cast<size_t>(c.address))), c.value);
}

INSTANTIATE_TEST_SUITE_P(Commands, AdjustTest,
                         ::testing::Values(AdjustCase{4, 0x33, 274}, AdjustCase{5, 0xC8, 79},
                                           AdjustCase{6, 0x70, 78}, AdjustCase{7, 0x30, 77},
                                           AdjustCase{8, 0x91, 72}, AdjustCase{9, 0x44, 73},
                                           AdjustCase{10, 0xA0, 106}, AdjustCase{11, 0x4F, 107},
                                           AdjustCase{12, 0xF0, 68}, AdjustCase{13, 0x7F, 69},
                                           AdjustCase{17, 0x1F, 76}, AdjustCase{18, 0x40, 86},
                                           AdjustCase{19, 0x90, 87}, AdjustCase{20, 0x05, 216},
                                           AdjustCase{21, 0xEE, 217}, AdjustCase{59, 0x00, 255}),
                         [](const auto& p) { return "command" + std::to_string(p.param.cmd); });

TEST_F(RadioTest, OtherCommandsChangeStateButNoParameter) {
    exchange(adjust(0, 3));
    EXPECT_EQ(radio.channel(), 2) << "channel select carries channel + 1";
    exchange(adjust(2, 1));
    EXPECT_TRUE(radio.adjustMode());
    exchange(adjust(60, 0x42));
    exchange(adjust(14, 0x42));
    EXPECT_EQ(radio.lastCommand(), 14);
    EXPECT_TRUE(radio.image() == velka::builtInImage());
    // A value that is not two hex digits is not taken.
    exchange(request(0xE8, kIdentity + bytes({5}) + "1X"));
    EXPECT_EQ(radio.imageByte(79), 210);
}

struct ReadingCase {
    int channel;
    int raw;
};

class ReadingTest : public RadioTest, public ::testing::WithParamInterface<ReadingCase> {};

TEST_P(ReadingTest, IsAnsweredAsTwoHexDigits) {
    const ReadingCase c = GetParam();
    const auto out = answers(adjust(3, c.channel));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0],
              bytes({0xEF, 0xEE, 0xE8}) + kIdentity + bytes({0x03}) + asciiHex(bytes({c.raw})));
}

// The built-in image on channel 0 (wide) at 25 degrees.
INSTANTIATE_TEST_SUITE_P(Channels, ReadingTest,
                         ::testing::Values(ReadingCase{0, 176},  // 13.8 V on a 20 V scale
                                           ReadingCase{3, 173},  // 25 degrees
                                           ReadingCase{5, 100}, ReadingCase{11, 80},
                                           ReadingCase{13, 150}, ReadingCase{14, 140},
                                           ReadingCase{15, 90}, ReadingCase{16, 138},
                                           ReadingCase{17, 104}, ReadingCase{18, 0x40},
                                           ReadingCase{7, 0}),
                         [](const auto& p) { return "channel" + std::to_string(p.param.channel); });

TEST_F(RadioTest, ReadingsFollowAdjustmentsAndChannelMode) {
    exchange(adjust(12, 0xEC));  // BPF T1 = -20
    exchange(adjust(0, 2));      // channel 1 is narrow
    EXPECT_EQ(radio.reading(16, now), 108);
    EXPECT_EQ(radio.reading(13, now), 75) << "narrow balance";
    EXPECT_EQ(radio.reading(14, now), 70) << "narrow deviation";
}

TEST_F(RadioTest, TemperatureReadingFollowsTheThermistor) {
    for (double celsius : {-10.0, 0.0, 25.0, 45.0, 60.0}) {
        radio.temperature(celsius);
        const int raw = radio.reading(3, now);
        // Back through the conversion the program applies.
        const double u = raw * 5.0 / 255.0;
        const double q = (500000.0 - 100000.0 * u) / u / 47000.0;
        const double t = 1.0 / (std::log(q) / 4000.0 + 1.0 / 298.15) - 273.15;
        EXPECT_NEAR(t, celsius, 1.0) << "raw " << raw;
    }
}

TEST_F(RadioTest, TemperatureDriftsWhenAskedTo) {
    radio.temperature(25.0, 2.0);
    const int64_t start = now;  // the drift counts from the first time the radio sees the clock
    exchange(identify());
    const int before = radio.reading(3, start);
    EXPECT_NEAR(radio.temperatureAt(start + 10 * 60000), 45.0, 1e-9);
    EXPECT_GT(radio.reading(3, start + 10 * 60000), before) << "warmer reads higher";
}

TEST_F(RadioTest, SignalDetectorHasAFlatTopAtTheFilterOptimum) {
    exchange(adjust(13, Transceiver::kBpfT2Best & 0xFF));
    int best = -1, first = 0, last = 0;
    for (int t1 = -128; t1 <= 127; ++t1) {
        exchange(adjust(12, t1 & 0xFF), 9600, 50);
        const auto out = answers(adjust(3, 4));
        ASSERT_EQ(out.size(), 1u);
        const int s = hexValue(out[0], 8);
        if (s > best) {
            first = t1;
            best = s;
        }
        if (s == best) {
            last = t1;
        }
    }
    EXPECT_EQ((first + last) / 2, Transceiver::kBpfT1Best);
    EXPECT_GE(last - first, 2) << "a flat top a few steps wide";
    EXPECT_LE(last - first, 6);
    EXPECT_GT(best, 200);
    exchange(adjust(12, 0x80));
    EXPECT_LT(radio.reading(4, now), best / 2) << "far off the optimum the detector drops";
}

TEST_F(RadioTest, RateSwitchLastsUntilTheEndOfTheNextCloneRead) {
    exchange(adjust(1, 0x0F));
    EXPECT_EQ(radio.rate(now), 38400);
    EXPECT_TRUE(answers(identify(), 9600).empty()) << "at the old rate it hears garbage";
    EXPECT_GT(radio.ignoredBytes(), 0);
    EXPECT_EQ(answers(identify(), 38400).size(), 1u);

    // The whole image at 38400: 104 frames of 46 bytes plus E5 take about 1.3 s, at 9600 5 s.
    radio.fromComputer(bytes({0xFE, 0xFE, 0xFE}) + request(0xE2, kIdentity), 38400, now);
    const auto frames = radioFrames(radio.toComputer(now + 1500));
    ASSERT_EQ(frames.size(), static_cast<size_t>(kBlocks + 1));
    EXPECT_EQ(at(frames.back(), 3), 0xE5);
    now += 1500;
    EXPECT_EQ(radio.rate(now), 9600);
    EXPECT_TRUE(answers(identify(), 38400).empty());
    EXPECT_EQ(answers(identify(), 9600).size(), 1u);
}

TEST_F(RadioTest, RateSwitchAlsoEndsWithACloneWrite) {
    exchange(adjust(1, 0x0F));
    const auto out = answers(cloneWrite(velka::builtInImage()), 38400);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(radio.rate(now), 9600);
}

TEST_F(RadioTest, ComputerAtAnotherRateIsNotHeard) {
    const std::string out = exchange(identify(), 19200);
    EXPECT_EQ(out, identify()) << "only the cable's echo";
    EXPECT_EQ(radio.ignoredBytes(), static_cast<int64_t>(identify().size()));
}

struct FormatCase {
    const char* name;
    Transceiver::LineFormat format;
    bool heard;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class RadioFormatTest : public RadioTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(RadioFormatTest, OnlyEightDataBitsNoParityOneStopBitAreHeard) {
    const FormatCase& c = GetParam();
    radio.fromComputer(identify(), 9600, c.format, now);
    now += 3000;
    const std::string out = radio.toComputer(now);
    EXPECT_EQ(out.substr(0, identify().size()), identify()) << "the cable echoes in any format";
    EXPECT_EQ(radioFrames(out).size(), c.heard ? 1u : 0u);
    EXPECT_EQ(radio.ignoredBytes(), c.heard ? 0 : static_cast<int64_t>(identify().size()));
    EXPECT_EQ(answers(identify()).size(), 1u) << "8N1 is heard again at once";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RadioFormatTest,
    ::testing::Values(FormatCase{"8N1", {8, 'N', 1}, true}, FormatCase{"8E1", {8, 'E', 1}, false},
                      FormatCase{"8O1", {8, 'O', 1}, false}, FormatCase{"7N1", {7, 'N', 1}, false},
                      FormatCase{"8N2", {8, 'N', 2}, false}),
    [](const ::testing::TestParamInfo<FormatCase>& p) { return std::string(p.param.name); });

TEST_F(RadioTest, FramesForOthersAreIgnored) {
    for (const std::string& frame :
         {bytes({0xFE, 0xFE, 0xEF, 0xEE, 0xE0, 0x26, 0x01, 0x00, 0x00, 0xFD}),
          bytes({0xFE, 0xFE, 0xEE, 0xFD}), bytes({0xFE, 0xFE, 0xEE, 0xEF, 0xE7, 0x00, 0xFD})}) {
        EXPECT_EQ(exchange(frame), frame) << "only the echo";
    }
}

// Faults.

class FaultTest : public RadioTest {
  protected:
    void with(Fault f) { radio.fault(f, true); }
};

TEST_F(FaultTest, SilentRadioOnlyEchoes) {
    with(Fault::Silent);
    EXPECT_EQ(exchange(identify()), identify());
    EXPECT_EQ(exchange(adjust(3, 0)), adjust(3, 0));
}

TEST_F(FaultTest, NoEcho) {
    with(Fault::NoEcho);
    const std::string out = exchange(identify());
    EXPECT_EQ(out.substr(0, 5), bytes({0xFE, 0xFE, 0xEF, 0xEE, 0xE1}));
    Transceiver quiet;
    quiet.echo(false);
    quiet.fromComputer(identify(), 9600, 0);
    EXPECT_EQ(quiet.toComputer(1000).substr(0, 5), bytes({0xFE, 0xFE, 0xEF, 0xEE, 0xE1}));
}

struct IdentityFaultCase {
    Fault fault;
    size_t pos;
    int expected;
};

class IdentityFaultTest : public FaultTest,
                          public ::testing::WithParamInterface<IdentityFaultCase> {};

TEST_P(IdentityFaultTest, ShowsInTheIdentificationAnswer) {
    with(GetParam().fault);
    const auto out = answers(identify());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(at(out[0], GetParam().pos), GetParam().expected);
    EXPECT_EQ(out[0].size(), 50u);
    // A radio that is not what the computer expects does not clone for it.
    EXPECT_TRUE(answers(request(0xE2, kIdentity)).empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, IdentityFaultTest,
                         ::testing::Values(IdentityFaultCase{Fault::WrongModel, 4, 0x27},
                                           IdentityFaultCase{Fault::SubCode, 7, 0x01}),
                         [](const auto& p) {
                             std::string name = velka::faultName(p.param.fault);
                             name.erase(name.find('-'), 1);
                             return name;
                         });

TEST_F(FaultTest, Byte43IsNotFive) {
    with(Fault::Byte43);
    const auto out = answers(identify());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NE(at(out[0], 43), 0x05);
}

TEST_F(FaultTest, BadChecksumSpoilsExactlyOneBlock) {
    with(Fault::BadChecksum);
    const CloneRead r = cloneRead();
    ASSERT_EQ(r.blocks.size(), static_cast<size_t>(kBlocks));
    int bad = 0;
    for (const std::string& b : r.blocks) {
        int sum = 0;
        for (size_t p = 3; p < b.size(); p += 2) {
            sum += hexValue(b, p);
        }
        bad += sum % 256 != 0 ? 1 : 0;
    }
    EXPECT_EQ(bad, 1);
}

TEST_F(FaultTest, CountMismatchReportsOneBlockTooMany) {
    with(Fault::CountMismatch);
    const CloneRead r = cloneRead();
    EXPECT_EQ(r.blocks.size(), static_cast<size_t>(kBlocks));
    EXPECT_EQ(r.e5.substr(12), "69");
}

TEST_F(FaultTest, OutsideImageSendsABlockBeyondTheEnd) {
    with(Fault::OutsideImage);
    const CloneRead r = cloneRead();
    ASSERT_EQ(r.blocks.size(), static_cast<size_t>(kBlocks + 1));
    const std::string& extra = r.blocks.back();
    EXPECT_GT(hexValue(extra, 3) * 256 + hexValue(extra, 5), 0x067F);
    EXPECT_EQ(r.e5.substr(12), "69");
}

TEST_F(FaultTest, WriteFailAnswersE6With01AndKeepsTheImage) {
    with(Fault::WriteFail);
    const auto out = answers(cloneWrite(std::string(1664, '\x11')));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], bytes({0xEF, 0xEE, 0xE6, 0x01}));
    EXPECT_TRUE(radio.image() == velka::builtInImage());
}

TEST_F(FaultTest, SlowAnswersAfterFifteenHundredMilliseconds) {
    with(Fault::Slow);
    radio.fromComputer(identify(), 9600, now);
    EXPECT_TRUE(radioFrames(radio.toComputer(now + 1400)).empty());
    EXPECT_EQ(radioFrames(radio.toComputer(now + 1600)).size(), 1u);
}

TEST_F(FaultTest, BadReadingSpoilsLengthPrefixAndDigitsInTurn) {
    with(Fault::BadReading);
    std::vector<std::string> readings;
    for (int i = 0; i < 3; ++i) {
        const auto out = answers(adjust(3, 0));
        ASSERT_EQ(out.size(), 1u);
        readings.push_back(out[0].substr(3));  // what the program checks: from byte 4 on
    }
    EXPECT_EQ(readings[0].size(), 8u);
    EXPECT_EQ(readings[1].size(), 7u);
    EXPECT_NE(readings[1].substr(0, 4), kIdentity);
    EXPECT_EQ(readings[2].substr(0, 5), kIdentity + bytes({0x03}));
    EXPECT_EQ(readings[2].find_first_not_of("0123456789ABCDEF", 5), 5u);
}

TEST_F(FaultTest, DropBytesLosesSomeBytesOfAnswers) {
    const size_t whole = exchange(request(0xE2, kIdentity), 9600, 10000).size();
    with(Fault::DropBytes);
    const std::string out = exchange(request(0xE2, kIdentity), 9600, 10000);
    EXPECT_LT(out.size(), whole);
    EXPECT_GT(out.size(), whole * 9 / 10);
}

TEST_F(FaultTest, HangupCutsTheLineInTheMiddleOfACloneRead) {
    with(Fault::Hangup);
    radio.fromComputer(request(0xE2, kIdentity), 9600, now);
    int64_t cutAt = -1;
    std::string out;
    for (int64_t t = now; t < now + 10000 && cutAt < 0; t += 10) {
        out += radio.toComputer(t);
        if (radio.takeHangup(t)) {
            cutAt = t;
        }
    }
    ASSERT_GT(cutAt, now);
    const auto frames = radioFrames(out);
    EXPECT_GT(frames.size(), 10u);
    EXPECT_LT(frames.size(), static_cast<size_t>(kBlocks));
    EXPECT_EQ(at(frames.back(), 3), 0xE4) << "no closing E5";
    EXPECT_FALSE(radio.takeHangup(cutAt + 10)) << "reported once";
    now = cutAt + 10;
    EXPECT_EQ(answers(identify()).size(), 1u) << "serves again afterwards";
}

TEST(RadioImage, RefusesAnImageOfTheWrongSize) {
    EXPECT_THROW(Transceiver(std::string(1663, '\0')), std::invalid_argument);
    Transceiver radio;
    EXPECT_THROW(radio.image(std::string(1665, '\0')), std::invalid_argument);
    EXPECT_NO_THROW(radio.image(std::string(1664, '\0')));
}

}  // namespace
