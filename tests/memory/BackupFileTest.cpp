// The backup file: its name, its header, and every way a file can be unfit for use.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "memory/BackupFile.h"

namespace calvex {
namespace {

// The identification answer of the simulated transceiver: EF EE E1, 26 01 01 00, the count 43,
// the serial number, firmware, band plan, and 05 at byte 43.
std::string Answer(const std::string& serial = "20417735") {
    std::string a("\xEF\xEE\xE1\x26\x01\x01\x00", 7);
    a += static_cast<char>(43);
    a += serial;
    a += std::string("\x01\x07\x05\x50\x06\xCC\x08\x00\x19\x00\x32", 11);
    a.resize(42, '\0');
    a += '\x05';
    a.resize(50, '\0');
    return a;
}

// 2024-05-01T12:00:00Z
constexpr int64_t kMay1 = 1714564800;

std::string Image() {
    std::string image(kBackupImageSize, '\0');
    for (std::size_t a = 0; a < image.size(); ++a)
        image[a] = static_cast<char>((a * 7 + 3) & 0xFF);
    return image;
}

BackupRecord Record() {
    return {BackupIdentity::FromAnswer(Answer()), kMay1, "Calvex ADJ Rev.1.0", Image()};
}

TEST(BackupFile, IdentityIsTakenFromTheIdentificationAnswer) {
    const BackupIdentity id = BackupIdentity::FromAnswer(Answer());
    EXPECT_EQ(id.model, "2601");
    EXPECT_EQ(id.sub, "0100");
    EXPECT_EQ(id.serial, "20417735");
    EXPECT_EQ(id.answer, Answer());
    EXPECT_EQ(id.key(), "26010100-20417735");
}

struct SerialCase {
    const char* name;
    std::string answer;
    std::string serial;
};

class BackupSerial : public ::testing::TestWithParam<SerialCase> {};

// Whatever the answer carries, the serial is 8 characters a file name can hold.
TEST_P(BackupSerial, IsEightSafeCharacters) {
    EXPECT_EQ(BackupIdentity::FromAnswer(GetParam().answer).serial, GetParam().serial);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, BackupSerial,
    ::testing::Values(SerialCase{"Digits", Answer("20417735"), "20417735"},
                      SerialCase{"Letters", Answer("AB12cd34"), "AB12cd34"},
                      SerialCase{"PathAndBlanks", Answer("../ 7\\:*"), "____7___"},
                      SerialCase{"ControlBytes",
                                 Answer(std::string("12\xFE\n\0"
                                                    "678",
                                                    8)),
                                 "12___678"},
                      SerialCase{"ShortAnswer", Answer().substr(0, 12), "2041____"},
                      SerialCase{"NoSerial", Answer().substr(0, 8), "________"}),
    [](const auto& p) { return std::string(p.param.name); });

struct TimeCase {
    const char* name;
    int64_t seconds;
    const char* stamp;
    const char* iso;
};

class BackupTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(BackupTime, WritesAndReadsUtcTimes) {
    const TimeCase& c = GetParam();
    EXPECT_EQ(UtcStamp(c.seconds), c.stamp);
    EXPECT_EQ(UtcIsoTime(c.seconds), c.iso);
    EXPECT_EQ(ParseUtcStamp(c.stamp), c.seconds);
    EXPECT_EQ(ParseUtcIsoTime(c.iso), c.seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, BackupTime,
    ::testing::Values(TimeCase{"Epoch", 0, "19700101T000000Z", "1970-01-01T00:00:00Z"},
                      TimeCase{"May2024", kMay1, "20240501T120000Z", "2024-05-01T12:00:00Z"},
                      TimeCase{"LeapDay", 1709251199, "20240229T235959Z", "2024-02-29T23:59:59Z"},
                      TimeCase{"Y2K", 946684800, "20000101T000000Z", "2000-01-01T00:00:00Z"},
                      TimeCase{"EndOf2099", 4102444799, "20991231T235959Z",
                               "2099-12-31T23:59:59Z"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(BackupFile, RefusesTimesThatAreNone) {
    for (const char* t :
         {"20240230T120000Z", "20241301T120000Z", "20240501T240000Z", "20240501T120060Z",
          "20240501 120000Z", "20240501T120000", "2024051T1200", "2O240501T120000Z", ""}) {
        EXPECT_FALSE(ParseUtcStamp(t).has_value()) << t;
    }
    EXPECT_FALSE(ParseUtcIsoTime("2024-05-01 12:00:00Z").has_value());
    EXPECT_FALSE(ParseUtcIsoTime("2024-02-30T12:00:00Z").has_value());
}

TEST(BackupFile, NameHoldsTheRadioAndTheTime) {
    const BackupIdentity id = BackupIdentity::FromAnswer(Answer());
    EXPECT_EQ(BackupFileName(id, kMay1), "26010100-20417735-20240501T120000Z.vbk");
    EXPECT_EQ(BackupFileName(id, kMay1, 2), "26010100-20417735-20240501T120000Z-2.vbk");

    const auto parts = ParseBackupFileName("26010100-20417735-20240501T120000Z-2.vbk");
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(parts->key, "26010100-20417735");
    EXPECT_EQ(parts->utcSeconds, kMay1);
    EXPECT_EQ(parts->copy, 2);
    EXPECT_EQ(ParseBackupFileName(BackupFileName(id, kMay1))->copy, 1);
}

struct KeyCase {
    const char* name;
    std::string serial;  // the answer's bytes 9..16, or fewer when it is cut short
    const char* key;
};

class HistoryKey : public ::testing::TestWithParam<KeyCase> {};

// Each radio's own key: letters and digits as they are, any other byte spelt out, so that two
// serials that differ only in punctuation never share a history; the name holds the key and
// gives it back.
TEST_P(HistoryKey, SpellsEveryByteOfTheSerial) {
    const KeyCase& c = GetParam();
    std::string answer = Answer(std::string(8, 'x'));
    answer.replace(8, 8, c.serial);
    if (c.serial.size() < 8) answer.resize(8 + c.serial.size());
    const BackupIdentity id = BackupIdentity::FromAnswer(answer);
    EXPECT_EQ(id.key(), c.key);
    const auto parts = ParseBackupFileName(BackupFileName(id, kMay1, 3));
    ASSERT_TRUE(parts.has_value()) << BackupFileName(id, kMay1, 3);
    EXPECT_EQ(parts->key, c.key);
    EXPECT_TRUE(parts->exactKey);
    EXPECT_EQ(parts->utcSeconds, kMay1);
    EXPECT_EQ(parts->copy, 3);
}

INSTANTIATE_TEST_SUITE_P(Memory, HistoryKey,
                         ::testing::Values(KeyCase{"Digits", "20417735", "26010100-20417735"},
                                           KeyCase{"Letters", "AB12cd34", "26010100-AB12cd34"},
                                           KeyCase{"Dash", "2041-773", "26010100-2041=2D773"},
                                           KeyCase{"Slash", "2041/773", "26010100-2041=2F773"},
                                           KeyCase{"Underscore", "2041_773", "26010100-2041=5F773"},
                                           KeyCase{"Blank", "2041 773", "26010100-2041=20773"},
                                           KeyCase{"ControlAndHigh",
                                                   std::string("12\xFE\n\0"
                                                               "678",
                                                               8),
                                                   "26010100-12=FE=0A=00678"},
                                           KeyCase{"CutShort", "2041",
                                                   "26010100-2041=__=__=__=__"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(BackupFile, SerialsThatDifferOnlyInPunctuationHaveKeysOfTheirOwn) {
    std::vector<std::string> keys;
    for (const char* serial : {"2041-773", "2041/773", "2041_773", "2041.773", "2041 773"})
        keys.push_back(BackupIdentity::FromAnswer(Answer(serial)).key());
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end());
    // Their serial as shown and as the header holds it is the same: the key tells them apart.
    EXPECT_EQ(BackupIdentity::FromAnswer(Answer("2041-773")).serial,
              BackupIdentity::FromAnswer(Answer("2041/773")).serial);
}

// Names written before the key was exact are still backup names; one with '_' does not tell
// which radio it is of.
TEST(BackupFile, OlderNamesAreReadAndSayWhetherTheyTellTheRadio) {
    const auto plain = ParseBackupFileName("26010100-20417735-20240501T120000Z.vbk");
    ASSERT_TRUE(plain.has_value());
    EXPECT_TRUE(plain->exactKey);
    EXPECT_EQ(plain->key, "26010100-20417735");
    const auto blurred = ParseBackupFileName("26010100-2041_773-20240501T120000Z-2.vbk");
    ASSERT_TRUE(blurred.has_value());
    EXPECT_FALSE(blurred->exactKey);
    EXPECT_EQ(blurred->key, "26010100-2041_773");
    EXPECT_EQ(blurred->copy, 2);
    EXPECT_EQ(blurred->utcSeconds, kMay1);
}

TEST(BackupFile, OtherNamesAreNotBackupNames) {
    for (const char* name :
         {"26010100-20417735-20240501T120000Z.txt", "26010100-20417735-20240501T120000Z",
          "2601010-20417735-20240501T120000Z.vbk", "26010100-2041773-20240501T120000Z.vbk",
          "26010100-2041/735-20240501T120000Z.vbk", "26010100-20417735-20241301T120000Z.vbk",
          "26010100-20417735-20240501T120000Z-1.vbk", "26010100-20417735-20240501T120000Z-02.vbk",
          "26010100-20417735-20240501T120000Z-x.vbk", "2601o100-20417735-20240501T120000Z.vbk",
          "26010100-20417735-20240501T120000Z.vbk.Ab12Cd", ".vbk", "",
          "26010100-2041=2d773-20240501T120000Z.vbk", "26010100-2041=2D77-20240501T120000Z.vbk",
          "26010100-2041=2D7735-20240501T120000Z.vbk", "26010100-2041=_773-20240501T120000Z.vbk",
          "26010100-2041=2-20240501T120000Z.vbk", "26010100-20417735=-20240501T120000Z.vbk"}) {
        EXPECT_FALSE(ParseBackupFileName(name).has_value()) << name;
    }
}

TEST(BackupFile, Crc32IsTheUsualOne) {
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32(""), 0u);
}

TEST(BackupFile, HeaderThenTheRawImage) {
    const std::string text = FormatBackupFile(Record());
    const std::string header = std::string(
        "Calvex ADJ backup 1\n"
        "program: Calvex ADJ Rev.1.0\n"
        "source: read\n"
        "occasion: connect\n"
        "model: 2601\n"
        "sub: 0100\n"
        "serial: 20417735\n"
        "identification: EFEEE1260101002B32303431373733350107055006CC080019003200000000000000"
        "00000000000000000500000000000000\n"
        "time: 2024-05-01T12:00:00Z\n"
        "length: 1664\n");
    ASSERT_EQ(text.substr(0, header.size()), header);
    char crc[32];
    std::snprintf(crc, sizeof crc, "crc32: %08X\n\n", Crc32(Image()));
    EXPECT_EQ(text.substr(header.size(), 17), crc);
    EXPECT_EQ(text.substr(header.size() + 17), Image());
}

TEST(BackupFile, ReadsBackWhatItWrote) {
    const BackupLoad load = ParseBackupFile(FormatBackupFile(Record()), "2601");
    ASSERT_TRUE(load.usable()) << load.reason;
    EXPECT_EQ(load.problem, BackupProblem::None);
    const BackupRecord& r = *load.record;
    EXPECT_EQ(r.image, Image());
    EXPECT_EQ(r.utcSeconds, kMay1);
    EXPECT_EQ(r.program, "Calvex ADJ Rev.1.0");
    EXPECT_EQ(r.identity.model, "2601");
    EXPECT_EQ(r.identity.sub, "0100");
    EXPECT_EQ(r.identity.serial, "20417735");
    EXPECT_EQ(r.identity.answer, Answer());
}

struct OriginCase {
    const char* name;
    BackupOrigin origin;
    const char* lines;
};

class BackupOriginText : public ::testing::TestWithParam<OriginCase> {};

// The file says what it holds, and reads back as the same origin.
TEST_P(BackupOriginText, IsWrittenAndReadBack) {
    BackupRecord record = Record();
    record.origin = GetParam().origin;
    const std::string text = FormatBackupFile(record);
    const std::string expected =
        std::string("program: Calvex ADJ Rev.1.0\n") + GetParam().lines + "model: 2601\n";
    EXPECT_NE(text.find(expected), std::string::npos) << text.substr(0, 200);
    const BackupLoad load = ParseBackupFile(text, "2601");
    ASSERT_TRUE(load.usable()) << load.reason;
    EXPECT_EQ(load.record->origin, GetParam().origin);
}

INSTANTIATE_TEST_SUITE_P(Memory, BackupOriginText,
                         ::testing::Values(OriginCase{"Connect", BackupOrigin::Connect,
                                                      "source: read\noccasion: connect\n"},
                                           OriginCase{"BeforeRestore", BackupOrigin::BeforeRestore,
                                                      "source: read\noccasion: before-restore\n"},
                                           OriginCase{"RestoreCheck", BackupOrigin::RestoreCheck,
                                                      "source: read\noccasion: restore-check\n"},
                                           OriginCase{"OtherUnit", BackupOrigin::OtherUnit,
                                                      "source: read\noccasion: other-unit\n"},
                                           OriginCase{"ByHand", BackupOrigin::ByHand,
                                                      "source: program\n"}),
                         [](const auto& p) { return std::string(p.param.name); });

// Files written before the header said what they hold are all reads of Connect.
TEST(BackupFile, AFileWithoutSourceIsAReadOfConnect) {
    BackupRecord record = Record();
    record.origin = BackupOrigin::RestoreCheck;
    std::string text = FormatBackupFile(record);
    const std::string lines = "source: read\noccasion: restore-check\n";
    ASSERT_NE(text.find(lines), std::string::npos);
    for (const std::string& instead : {std::string(), std::string("source: read\n")}) {
        const std::string old = std::string(text).replace(text.find(lines), lines.size(), instead);
        const BackupLoad load = ParseBackupFile(old, "2601");
        ASSERT_TRUE(load.usable()) << load.reason;
        EXPECT_EQ(load.record->origin, BackupOrigin::Connect) << instead;
        EXPECT_EQ(load.record->image, Image());
    }
}

struct LabelCase {
    const char* name;
    BackupOrigin origin;
    const char* label;
};

class BackupLabel : public ::testing::TestWithParam<LabelCase> {};

TEST_P(BackupLabel, SaysWhatMadeTheFile) {
    EXPECT_EQ(BackupOriginLabel(GetParam().origin), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, BackupLabel,
    ::testing::Values(
        LabelCase{"Connect", BackupOrigin::Connect, "Read at Connect"},
        LabelCase{"BeforeRestore", BackupOrigin::BeforeRestore, "Read before a restore"},
        LabelCase{"RestoreCheck", BackupOrigin::RestoreCheck, "Read back after a restore"},
        LabelCase{"OtherUnit", BackupOrigin::OtherUnit, "Read of another unit, refused"},
        LabelCase{"ByHand", BackupOrigin::ByHand, "Saved by hand (program's image)"}),
    [](const auto& p) { return std::string(p.param.name); });

struct LocalCase {
    const char* name;
    const char* utc;
    int32_t offset;
    const char* shown;
};

class LocalTime : public ::testing::TestWithParam<LocalCase> {};

// The local time first, UTC beside it, with its date when that is another day.
TEST_P(LocalTime, ShowsUtcBeside) {
    const LocalCase& c = GetParam();
    const auto utc = ParseUtcIsoTime(c.utc);
    ASSERT_TRUE(utc.has_value());
    EXPECT_EQ(LocalAndUtcTime(*utc, c.offset), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, LocalTime,
    ::testing::Values(
        LocalCase{"Utc", "2024-05-01T12:00:00Z", 0, "2024-05-01 12:00:00 (12:00:00 UTC)"},
        LocalCase{"Winter", "2026-12-10T22:15:04Z", 3600, "2026-12-10 23:15:04 (22:15:04 UTC)"},
        LocalCase{"HalfHour", "2024-05-01T12:00:00Z", 19800, "2024-05-01 17:30:00 (12:00:00 UTC)"},
        LocalCase{"EveningBefore", "2024-05-01T02:00:00Z", -4 * 3600,
                  "2024-04-30 22:00:00 (2024-05-01 02:00:00 UTC)"},
        LocalCase{"NextDay", "2024-05-01T12:00:00Z", 14 * 3600,
                  "2024-05-02 02:00:00 (2024-05-01 12:00:00 UTC)"},
        LocalCase{"NewYear", "2026-12-31T23:15:04Z", 3600,
                  "2027-01-01 00:15:04 (2026-12-31 23:15:04 UTC)"}),
    [](const auto& p) { return std::string(p.param.name); });

struct PairCase {
    const char* name;
    std::string sub;
    std::string serial;
    const char* why;  // empty: comparable, and restorable to the 2601/0100 radio
};

class BackupPair : public ::testing::TestWithParam<PairCase> {};

// Memories compare, and a backup goes to a radio, only within one model and sub code.
TEST_P(BackupPair, NeedsTheSameModelAndSubCode) {
    const PairCase& c = GetParam();
    std::string answer = Answer(c.serial);
    answer.replace(5, 2, c.sub);
    const BackupIdentity other = BackupIdentity::FromAnswer(answer);
    const BackupIdentity ours = BackupIdentity::FromAnswer(Answer());
    const auto comparable = WhyNotComparable(ours, other);
    const auto forRadio = WhyNotForRadio(other, "2601", "0100");
    if (std::string(c.why).empty()) {
        EXPECT_FALSE(comparable.has_value()) << *comparable;
        EXPECT_FALSE(forRadio.has_value()) << *forRadio;
        return;
    }
    ASSERT_TRUE(comparable.has_value());
    EXPECT_EQ(*comparable,
              "The two backups are of different transceiver models (model code 2601 "
              "and sub code 0100; model code 2601 and sub code " +
                  other.sub + "): their memories are not laid out alike.");
    ASSERT_TRUE(forRadio.has_value());
    EXPECT_EQ(*forRadio, std::string("It was made of a transceiver with model code 2601 and sub "
                                     "code ") +
                             c.why +
                             "; the transceiver connected has model code 2601 and sub code 0100.");
}

INSTANTIATE_TEST_SUITE_P(
    Memory, BackupPair,
    ::testing::Values(PairCase{"SameUnit", std::string("\x01\x00", 2), "20417735", ""},
                      PairCase{"AnotherUnit", std::string("\x01\x00", 2), "99999999", ""},
                      PairCase{"AnotherSubCode", std::string("\x02\x00", 2), "20417735", "0200"},
                      PairCase{"NextSubCode", std::string("\x01\x01", 2), "20417735", "0101"}),
    [](const auto& p) { return std::string(p.param.name); });

// Replaces the first "from" in the header by "to".
std::function<std::string(std::string)> Header(const std::string& from, const std::string& to) {
    return [from, to](std::string text) {
        const auto at = text.find(from);
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
}

struct UnfitCase {
    const char* name;
    std::function<std::string(std::string)> spoil;
    BackupProblem problem;
    const char* reason;
};

class UnfitBackup : public ::testing::TestWithParam<UnfitCase> {};

// A file that is not exactly what was written is never given out as a record.
TEST_P(UnfitBackup, IsRefusedWithItsReason) {
    const UnfitCase& c = GetParam();
    const BackupLoad load = ParseBackupFile(c.spoil(FormatBackupFile(Record())), "2601");
    EXPECT_FALSE(load.usable());
    EXPECT_EQ(load.problem, c.problem);
    EXPECT_EQ(load.reason, c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, UnfitBackup,
    ::testing::Values(
        UnfitCase{"Empty", [](const std::string&) { return std::string(); }, BackupProblem::Foreign,
                  "not a backup file of this program"},
        UnfitCase{"RawImage", [](const std::string&) { return Image(); }, BackupProblem::Foreign,
                  "not a backup file of this program"},
        UnfitCase{"AnotherFormat", Header("backup 1", "backup 2"), BackupProblem::Foreign,
                  "not a backup file of this program"},
        UnfitCase{"CutInTheHeader", [](const std::string& text) { return text.substr(0, 60); },
                  BackupProblem::Truncated, "the header has no end"},
        UnfitCase{"LastByteMissing",
                  [](const std::string& text) { return text.substr(0, text.size() - 1); },
                  BackupProblem::Truncated, "truncated: 1663 of 1664 image bytes"},
        UnfitCase{"HalfTheImage",
                  [](const std::string& text) { return text.substr(0, text.size() - 832); },
                  BackupProblem::Truncated, "truncated: 832 of 1664 image bytes"},
        UnfitCase{"OneByteMore", [](const std::string& text) { return text + '\0'; },
                  BackupProblem::Oversized,
                  "oversized: 1665 bytes after the header, 1664 expected"},
        UnfitCase{"ImageOfAnotherSize", Header("length: 1664", "length: 2048"),
                  BackupProblem::Foreign, "the image holds 2048 bytes, not 1664"},
        UnfitCase{"OneImageByteAltered",
                  [](std::string text) {
                      text[text.size() - 100] = static_cast<char>(text[text.size() - 100] ^ 0x01);
                      return text;
                  },
                  BackupProblem::Corrupt, "the checksum does not match the image"},
        UnfitCase{"ChecksumAltered", Header("crc32: ", "crc32: 0"), BackupProblem::Corrupt,
                  "the checksum does not match the image"},
        UnfitCase{"NoChecksum", Header("crc32: ", "crc: "), BackupProblem::Corrupt,
                  "the header lacks \"crc32\""},
        UnfitCase{"SubCodeAltered", Header("sub: 0100", "sub: 0000"), BackupProblem::Corrupt,
                  "the identity in the header does not match its identification answer"},
        UnfitCase{"SerialAltered", Header("serial: 20417735", "serial: 20417736"),
                  BackupProblem::Corrupt,
                  "the identity in the header does not match its identification answer"},
        UnfitCase{"AnswerNotHex", Header("identification: EF", "identification: XY"),
                  BackupProblem::Corrupt, "the identification answer is not hex"},
        UnfitCase{"AnotherModel",
                  [](const std::string& text) {
                      return Header("identification: EFEEE12601", "identification: EFEEE12701")(
                          Header("model: 2601", "model: 2701")(std::string(text)));
                  },
                  BackupProblem::OtherModel, "a backup of another transceiver model (2701)"},
        UnfitCase{"NoTime", Header("time: 2024-05-01T12:00:00Z", "time: yesterday"),
                  BackupProblem::Corrupt, "the time is not a UTC time"},
        UnfitCase{"FieldTwice", Header("model: 2601\n", "model: 2601\nmodel: 2601\n"),
                  BackupProblem::Corrupt, "the header names \"model\" twice"},
        UnfitCase{"UnknownSource", Header("source: read", "source: radio"), BackupProblem::Corrupt,
                  "the source is neither read nor program"},
        UnfitCase{"UnknownOccasion", Header("occasion: connect", "occasion: power-on"),
                  BackupProblem::Corrupt,
                  "the occasion is not connect, before-restore, restore-check or "
                  "other-unit"},
        UnfitCase{"ProgramImageWithOccasion", Header("source: read", "source: program"),
                  BackupProblem::Corrupt, "the program's image names an occasion"},
        UnfitCase{"LineWithoutValue", Header("sub: 0100", "sub 0100"), BackupProblem::Corrupt,
                  "a header line is not \"name: value\""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace calvex
