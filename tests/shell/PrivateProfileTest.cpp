#include "shell/PrivateProfile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/TempDir.h"

namespace calvex {
namespace {

using testing::TempDir;

std::string get(const std::string& path, const std::string& section, const std::string& key,
                const std::string& def = "dflt", int32_t size = 255, int32_t* count = nullptr) {
    std::string out;
    const int32_t n = GetPrivateProfileString(section, key, def, out, size, path);
    if (count) *count = n;
    return out;
}

TEST(PrivateProfile, ReadsValuesLikeTheProfileFunctions) {
    TempDir dir;
    const auto path = dir.file("a.ini");
    TempDir::write(path,
                   "; comment\r\n[Option]\r\n  comport = 3  \r\nEmpty=\r\nQuoted=\" x \"\r\n"
                   "[Other]\r\nComPort=9\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
        int32_t count;
    } cases[] = {
        {"OPTION", "ComPort", "3", 1},  // names match without regard to case
        {"option", "COMPORT", "3", 1},
        {"OPTION", "Empty", "", 0},         // an empty value reads as 0 characters
        {"OPTION", "Quoted", " x ", 3},     // quotes around the whole value go
        {"OPTION", "Missing", "dflt", 4},   // missing key: the default
        {"Nowhere", "ComPort", "dflt", 4},  // missing section: the default
        {"Other", "ComPort", "9", 1},
    };
    for (const auto& c : cases) {
        int32_t count = -1;
        EXPECT_EQ(get(path, c.section, c.key, "dflt", 255, &count), c.expected) << c.key;
        EXPECT_EQ(count, c.count) << c.key;
    }
    EXPECT_EQ(get(dir.file("none.ini"), "OPTION", "ComPort"), "dflt");
    EXPECT_EQ(get(path, "OPTION", "ComPort", "", 1), "");  // no room beyond the terminator
}

TEST(PrivateProfile, WritingOneKeyKeepsEveryOtherLine) {
    TempDir dir;
    const auto path = dir.file("CALVEXADJ.rs");
    TempDir::write(path,
                   "; my ports\n[PORTS]\nCOM2=/tmp/velka\n\n[OPTION]\nComPort=1\nUnknown=x\n");
    ASSERT_TRUE(WritePrivateProfileString("OPTION", "ComPort", "2", path));
    ASSERT_TRUE(WritePrivateProfileString("OPTION", "ComAutoRelease", "3", path));
    ASSERT_TRUE(WritePrivateProfileString("NEW", "k", "v", path));
    EXPECT_EQ(TempDir::read(path),
              "; my ports\n[PORTS]\nCOM2=/tmp/velka\n\n[OPTION]\nComPort=2\nUnknown=x\n"
              "ComAutoRelease=3\n[NEW]\nk=v\n");
}

TEST(PrivateProfile, KeepsWindowsLineEndingsAndCreatesMissingFiles) {
    TempDir dir;
    const auto crlf = dir.file("crlf.ini");
    TempDir::write(crlf, "[A]\r\nx=1\r\n");
    ASSERT_TRUE(WritePrivateProfileString("a", "X", "2", crlf));
    EXPECT_EQ(TempDir::read(crlf), "[A]\r\nX=2\r\n");

    const auto fresh = dir.file("fresh.ini");
    ASSERT_TRUE(WritePrivateProfileString("OPTION", "ComPort", "1", fresh));
    EXPECT_EQ(TempDir::read(fresh), "[OPTION]\nComPort=1\n");
}

TEST(PrivateProfile, InterruptedSaveLeavesTheOldFileWhole) {
    TempDir dir;
    const auto path = dir.file("s.ini");
    const std::string old = "[OPTION]\nComPort=1\n";
    TempDir::write(path, old);
    EXPECT_FALSE(WritePrivateProfileString("OPTION", "ComPort", "4", path, [] { return false; }));
    EXPECT_EQ(TempDir::read(path), old);
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);
}

TEST(PrivateProfile, RefusesWhatWouldCorruptTheFile) {
    TempDir dir;
    const auto path = dir.file("s.ini");
    EXPECT_FALSE(WritePrivateProfileString("OPTION", "ComPort", "1\n[EVIL]", path));
    EXPECT_FALSE(WritePrivateProfileString("OPTION", "a=b", "1", path));
    EXPECT_FALSE(WritePrivateProfileString("", "k", "1", path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(WritePrivateProfileString("OPTION", "k", "1", dir.file("no/such/dir.ini")));
}

TEST(PrivateProfile, FindsWhetherAKeyIsThere) {
    TempDir dir;
    const auto path = dir.file("a.ini");
    TempDir::write(path, "[Option]\nEmpty=\nQuoted=\" x \"\n[Ports]\nCOM1=a\n[OPTION]\nLater=1\n");
    EXPECT_EQ(FindPrivateProfileString("OPTION", "Empty", path), "");  // there, but empty
    EXPECT_EQ(FindPrivateProfileString("OPTION", "Quoted", path), " x ");
    EXPECT_EQ(FindPrivateProfileString("OPTION", "Later", path), "1");  // a second block too
    EXPECT_EQ(FindPrivateProfileString("OPTION", "Missing", path), std::nullopt);
    EXPECT_EQ(FindPrivateProfileString("Nowhere", "COM1", path), std::nullopt);
    EXPECT_EQ(FindPrivateProfileString("OPTION", "Empty", dir.file("none.ini")), std::nullopt);
}

TEST(PrivateProfile, CopiesMissingEntriesOnceKeepingTheTargetsOwn) {
    TempDir dir;
    const auto from = dir.file("system.ini");
    const auto to = dir.file("user.ini");
    TempDir::write(from,
                   "[PORTS]\nCOM1=/dev/ttyS0\nCOM2=\" /dev/ttyS1\"\ncom1=ignored\n"
                   "[OPTION]\nComPort=3\n");
    struct Case {
        const char* name;
        const char* before;
        const char* after;
    } cases[] = {
        {"no file yet", nullptr, "[PORTS]\nCOM1=/dev/ttyS0\nCOM2=\" /dev/ttyS1\"\n"},
        {"no such section", "; mine\r\n[OPTION]\r\nComPort=4",
         "; mine\r\n[OPTION]\r\nComPort=4\r\n[PORTS]\r\nCOM1=/dev/ttyS0\r\n"
         "COM2=\" /dev/ttyS1\"\r\n"},
        {"own entry wins", "[ports]\ncom2=/tmp/velka\n\n[OPTION]\n",
         "[ports]\ncom2=/tmp/velka\nCOM1=/dev/ttyS0\n\n[OPTION]\n"},
        {"nothing missing", "[PORTS]\nCOM2=x\nCOM1=y\n", "[PORTS]\nCOM2=x\nCOM1=y\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(to);
        if (c.before) TempDir::write(to, c.before);
        ASSERT_TRUE(CopyMissingPrivateProfileEntries("PORTS", from, to));
        EXPECT_EQ(TempDir::read(to), c.after);
        ASSERT_TRUE(CopyMissingPrivateProfileEntries("PORTS", from, to));  // again: no change
        EXPECT_EQ(TempDir::read(to), c.after);
    }
    // Nothing to copy from: the target is not created.
    std::filesystem::remove(to);
    EXPECT_TRUE(CopyMissingPrivateProfileEntries("PORTS", dir.file("none.ini"), to));
    EXPECT_FALSE(std::filesystem::exists(to));
    EXPECT_FALSE(CopyMissingPrivateProfileEntries("PORTS", from, dir.file("no/such/dir.ini")));
}

}  // namespace
}  // namespace calvex
