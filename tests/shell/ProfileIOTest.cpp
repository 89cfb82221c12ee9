#include "shell/clsCmcProfileIO.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/TempDir.h"

namespace calvex {
namespace {

using testing::TempDir;

class ProfileIO : public ::testing::Test {
  protected:
    void SetUp() override {
        prof.FullPath(dir.file("CALVEXADJ.rs"));
        prof.Section("OPTION");
    }
    void contents(const std::string& text) { TempDir::write(prof.GetMyProfile(), text); }

    TempDir dir;
    clsCmcProfileIO prof;
};

TEST_F(ProfileIO, NewObjectDefaults) {
    clsCmcProfileIO p;
    EXPECT_EQ(p.Name(), "Profile.INI");
    EXPECT_EQ(p.Path(), "");
    EXPECT_EQ(p.Section(), "");
}

TEST_F(ProfileIO, EveryTypeRoundTrips) {
    const ProfileValue values[] = {
        int16_t{-32768},
        int32_t{123456789},
        1.25f,
        0.1,
        Currency{-12345678},
        uint8_t{255},
        ProfileDate{2002, 7, 15, 13, 5, 9},
        std::string("text with blanks"),
        true,
        false,
    };
    for (const auto& v : values) {
        ASSERT_TRUE(prof.saveData("k", v)) << ProfileSaveText(v);
        ProfileValue back = v;
        // Start from another value of the same type so the load must change it.
        std::visit([](auto& x) { x = std::decay_t<decltype(x)>{}; }, back);
        ASSERT_TRUE(prof.loadData("k", back)) << ProfileSaveText(v);
        EXPECT_EQ(back, v) << ProfileSaveText(v);
    }
}

TEST_F(ProfileIO, SavedTexts) {
    EXPECT_EQ(ProfileSaveText(ProfileDate{2002, 7, 15, 13, 5, 9}), "2002.07.15-13:05:09");
    EXPECT_EQ(ProfileSaveText(true), "1");
    EXPECT_EQ(ProfileSaveText(false), "0");
    EXPECT_EQ(ProfileSaveText(Currency{-12345}), "-1.2345");
    EXPECT_EQ(ProfileSaveText(Currency{20000}), "2");
    EXPECT_EQ(ProfileSaveText(int16_t{-5}), "-5");
    EXPECT_FALSE(prof.saveData("k", std::monostate{}));
}

TEST_F(ProfileIO, MissingEmptyAndUnconvertibleValues) {
    contents("[OPTION]\nEmpty=\nWord=abc\nBig=70000\nFrac=2.5\nBool=yes\nShortDate=2002.07.15\n");
    ProfileValue v = int32_t{7};
    EXPECT_TRUE(prof.loadData("Missing", v, int32_t{1}));  // the default converts
    EXPECT_EQ(v, ProfileValue(int32_t{1}));
    EXPECT_FALSE(prof.loadData("Empty", v, int32_t{1}));  // nothing read: unchanged
    EXPECT_EQ(v, ProfileValue(int32_t{1}));
    EXPECT_FALSE(prof.loadData("Word", v));
    EXPECT_EQ(v, ProfileValue(int32_t{1}));

    ProfileValue small = int16_t{3};
    EXPECT_FALSE(prof.loadData("Big", small));  // overflow: unchanged
    EXPECT_EQ(small, ProfileValue(int16_t{3}));
    EXPECT_TRUE(prof.loadData("Frac", small));  // ties to even
    EXPECT_EQ(small, ProfileValue(int16_t{2}));

    ProfileValue b = false;
    EXPECT_TRUE(prof.loadData("Bool", b));
    EXPECT_EQ(b, ProfileValue(true));

    const ProfileDate before{2000, 1, 1, 0, 0, 0};
    ProfileValue d = before;
    EXPECT_TRUE(prof.loadData("ShortDate", d));  // wrong length: true, date unchanged
    EXPECT_EQ(d, ProfileValue(before));

    ProfileValue other = std::monostate{};
    EXPECT_FALSE(prof.loadData("Frac", other));
    ProfileValue mismatch = int32_t{0};
    EXPECT_FALSE(prof.loadData("Frac", mismatch, int16_t{1}));
}

TEST_F(ProfileIO, PortDevices) {
    contents("[PORTS]\nCOM2=/tmp/velka\nCOM3=/dev/ttyS2\n");
    EXPECT_EQ(prof.ComPortDevice(2), "/tmp/velka");
    ::setenv("CALVEXADJ_COM3", "/tmp/sim", 1);  // the environment wins over the file
    EXPECT_EQ(prof.ComPortDevice(3), "/tmp/sim");
    ::unsetenv("CALVEXADJ_COM3");
    EXPECT_EQ(prof.ComPortDevice(3), "/dev/ttyS2");
    EXPECT_EQ(prof.ComPortDevice(1), "/dev/ttyUSB0");
    EXPECT_EQ(prof.ComPortDevice(10), "/dev/ttyUSB9");
}

TEST_F(ProfileIO, SavingSettingsKeepsHandWrittenPorts) {
    contents("; bench setup\n[PORTS]\nCOM3=/dev/ttyS0\n");
    ASSERT_TRUE(prof.saveData("ComPort", int16_t{3}));
    ASSERT_TRUE(prof.saveData("ComAutoRelease", int16_t{2}));
    EXPECT_EQ(TempDir::read(prof.GetMyProfile()),
              "; bench setup\n[PORTS]\nCOM3=/dev/ttyS0\n[OPTION]\nComPort=3\nComAutoRelease=2\n");
    EXPECT_EQ(prof.ComPortDevice(3), "/dev/ttyS0");
}

TEST(ProfilePaths, FileAndPathNames) {
    EXPECT_EQ(clsCmcProfileIO::GetFileName("dir/sub/x.rs"), "x.rs");
    EXPECT_EQ(clsCmcProfileIO::GetFileName("C:x.rs"), "x.rs");
    EXPECT_EQ(clsCmcProfileIO::GetFileName("dir/"), "");
    EXPECT_EQ(clsCmcProfileIO::GetPathName("/etc/calvex/a.ini"), "/etc/calvex");
    EXPECT_EQ(clsCmcProfileIO::GetPathName("dir\\a.ini"), "dir");
    EXPECT_EQ(clsCmcProfileIO::GetPathName("dir/"), "dir");
    EXPECT_EQ(clsCmcProfileIO::GetPathName("/a.ini"), "");
    EXPECT_EQ(clsCmcProfileIO::GetPathName("a.ini"), ExecutableDirectory());
    EXPECT_EQ(clsCmcProfileIO::StripTerminator(std::string("ab\0cd", 5)), "ab");

    clsCmcProfileIO p;
    p.FullPath("/a.ini");
    EXPECT_EQ(p.Path(), "/");
    EXPECT_EQ(p.Name(), "a.ini");
    p.FullPath("/etc/calvex/b.rs");
    EXPECT_EQ(p.GetMyProfile(), "/etc/calvex/b.rs");
}

struct PlaceCase {
    const char* name;
    const char* exeDir;
    bool besideProgram;
    const char* place;
};

class SettingsPlace : public ::testing::TestWithParam<PlaceCase> {};

// Beside the program only in a folder of the user's own, never in a system folder, whoever
// runs it; else the user's config folder.
TEST_P(SettingsPlace, IsBesideTheProgramOnlyOutsideTheSystemsFolders) {
    const PlaceCase& c = GetParam();
    EXPECT_EQ(ChooseSettingsDirectory(c.exeDir, c.besideProgram, "/cfg", "/home/u"), c.place);
}

INSTANTIATE_TEST_SUITE_P(
    Shell, SettingsPlace,
    ::testing::Values(
        PlaceCase{"BuildTree", "/home/u/calvex/build/bin", true, "/home/u/calvex/build/bin/"},
        PlaceCase{"PortableCopy", "/media/stick/calvex", true, "/media/stick/calvex/"},
        PlaceCase{"NotTheUsers", "/home/u/calvex/build/bin", false, "/cfg/calvexadj/"},
        PlaceCase{"UsrBinAsRoot", "/usr/bin", true, "/cfg/calvexadj/"},
        PlaceCase{"UsrLocalBin", "/usr/local/bin", true, "/cfg/calvexadj/"},
        PlaceCase{"Usr", "/usr", true, "/cfg/calvexadj/"},
        PlaceCase{"UsrWithSlash", "/usr/bin/", true, "/cfg/calvexadj/"},
        PlaceCase{"UsrByAWayRound", "/opt/../usr/bin", true, "/cfg/calvexadj/"},
        PlaceCase{"Bin", "/bin", true, "/cfg/calvexadj/"},
        PlaceCase{"Sbin", "/sbin", true, "/cfg/calvexadj/"},
        PlaceCase{"LikeUsrButNot", "/usrdata/calvex", true, "/usrdata/calvex/"}),
    [](const auto& p) { return std::string(p.param.name); });

// The judgement on real folders: the user's own writable folder holds the settings; the
// system's folders never do, even for root, who owns them and may write them.
TEST(ProfilePaths, SettingsBesideAFolderOfTheUsersOwnOnly) {
    TempDir dir;
    EXPECT_TRUE(SettingsBesideProgram(dir.path()));
    EXPECT_FALSE(SettingsBesideProgram("/usr/bin"));
    EXPECT_FALSE(SettingsBesideProgram(dir.file("missing")));
    EXPECT_FALSE(SettingsBesideProgram(""));
    if (::geteuid() == 0) {
        // Root may write anywhere: a folder of another user's is still not the user's own.
        std::filesystem::create_directory(dir.file("theirs"));
        ASSERT_EQ(::chown(dir.file("theirs").c_str(), 65534, 65534), 0);
        EXPECT_FALSE(SettingsBesideProgram(dir.file("theirs")));
    }
}

TEST(ProfilePaths, SettingsDirectory) {
    EXPECT_EQ(ChooseSettingsDirectory("/opt/x", true, "/cfg", "/home/u"), "/opt/x/");
    EXPECT_EQ(ChooseSettingsDirectory("/usr/bin", false, "/cfg", "/home/u"), "/cfg/calvexadj/");
    EXPECT_EQ(ChooseSettingsDirectory("/usr/bin", false, nullptr, "/home/u"),
              "/home/u/.config/calvexadj/");
    EXPECT_EQ(ChooseSettingsDirectory("/usr/bin", false, "relative", "/home/u"),
              "/home/u/.config/calvexadj/");
    // The tests run from a writable build directory: the file sits beside the executable.
    clsCmcProfileIO p;
    p.SetCurrentPath();
    EXPECT_EQ(p.Path(), ExecutableDirectory() + "/");
}

}  // namespace
}  // namespace calvex
