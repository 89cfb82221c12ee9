// The program's two settings as start-up loads them and shutdown saves them: the port number rule
// and the settings file beside an installed executable as system-wide defaults.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "base/TempDir.h"
#include "link/FakeTickSource.h"
#include "link/LoopbackSerialControl.h"
#include "rig/FakeRigWindow.h"
#include "shell/CalvexCore.h"
#include "shell/PrivateProfile.h"

namespace calvex {
namespace {

using testing::FakeRigWindow;
using testing::FakeTickSource;
using testing::TempDir;

// A line with nothing at the far end: the port opens, the radio never answers.
class SilentPeer : public ISerialPeer {
  public:
    void fromComputer(const std::string&, int32_t) override {}
    std::string toComputer() override { return {}; }
};

// The program without its window, over a silent line, with its settings in a temporary folder:
// <tmp>/opt is the executable's directory, <tmp>/cfg the user's XDG_CONFIG_HOME.
class SettingsBench : public IMessageBox {
  public:
    SettingsBench() {
        std::filesystem::create_directories(exeDir());
        core.profMain.Name(CalvexCore::kSettingsFileName);
        place(true);
    }

    int16_t critical(const std::string& text, const std::string&, const std::string&) override {
        messages.push_back(text);
        return kButtonOk;
    }

    // Points the settings object where start-up would, with the writability decision given.
    void place(bool exeDirWritable) {
        core.profMain.SetCurrentPath(exeDir(), exeDirWritable, cfgDir().c_str(), nullptr);
    }
    // Points it where start-up would for a program in programFolder, judged as start-up judges.
    void placeFor(const std::string& programFolder) {
        core.profMain.SetCurrentPath(programFolder, cfgDir().c_str(), nullptr);
    }
    std::string exeDir() const { return dir.file("opt"); }
    std::string cfgDir() const { return dir.file("cfg"); }
    std::string besideExe() const { return exeDir() + "/" + CalvexCore::kSettingsFileName; }
    std::string userFile() const {
        return cfgDir() + "/calvexadj/" + CalvexCore::kSettingsFileName;
    }
    static std::optional<std::string> text(const std::string& path) {
        if (!std::filesystem::exists(path)) return std::nullopt;
        return TempDir::read(path);
    }
    static void write(const std::string& path, const std::optional<std::string>& text) {
        if (!text) return;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        TempDir::write(path, *text);
    }

    // Connects and runs until the serial form has opened the port; the number it was opened
    // with (0 when it never opened).
    int16_t portOpened() {
        core.rig.RigOpFunc_ClickCmd00(0);
        for (int i = 0; i < 20 && port.openedWith().empty(); ++i) {
            clock.advance(50);
            port.poll();
            core.line.timSolid_Timer();
        }
        return port.openedWith().empty() ? int16_t{0} : port.CommPort();
    }

    TempDir dir;
    FakeTickSource clock{5000};
    SilentPeer peer;
    LoopbackSerialControl port{peer};
    FakeRigWindow window;
    CalvexCore core{port, clock, *this, window};
    std::vector<std::string> messages;
};

std::string saved(const std::string& path, const std::string& key) {
    return FindPrivateProfileString(CalvexCore::kSettingsSection, key, path).value_or("<none>");
}

// The port shown is the port used.

TEST(SettingsPort, AStoredPortOutsideTheSerialFormsRangeIsPortOneEverywhere) {
    struct Case {
        const char* file;  // the settings file's contents
        int16_t port;      // the port everything agrees on
    } cases[] = {
        {"[OPTION]\nComPort=0\n", 1},        {"[OPTION]\nComPort=-3\n", 1},
        {"[OPTION]\nComPort=11\n", 1},       {"[OPTION]\nComPort=32767\n", 1},
        {"[OPTION]\nComPort=70000\n", 1},     // beyond 16 bits
        {"[OPTION]\nComPort=abc\n", 1},       // unreadable: the load variable stays 0
        {"[OPTION]\nComPort=\n", 1},          // empty: nothing read, 0 as well
        {"[OPTION]\nComAutoRelease=2\n", 1},  // missing: the default
        {"[OPTION]\nComPort=1\n", 1},        {"[OPTION]\nComPort=3\n", 3},
        {"[OPTION]\nComPort=7\n", 7},        {"[OPTION]\nComPort=10\n", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        SettingsBench bench;
        TempDir::write(bench.besideExe(), c.file);
        bench.core.LoadProfile();

        // The port label and the menu mark show ComPortNo().
        EXPECT_EQ(bench.core.ComPortNo(), c.port);
        // The transceiver object has handed its number to the sequencer ...
        EXPECT_EQ(bench.core.seq.ComPortNo(), c.port);
        // ... and hands it again on Connect; the serial form opens that port.
        EXPECT_EQ(bench.portOpened(), c.port);
        EXPECT_EQ(bench.core.seq.ComPortNo(), c.port);
        EXPECT_EQ(bench.core.com.comPortNum(), c.port);

        bench.core.SaveProfile();
        EXPECT_EQ(saved(bench.besideExe(), "ComPort"), std::to_string(c.port));
    }
}

TEST(SettingsPort, TheMenuKeepsItsPortsAndTheRuleHoldsForAnyCaller) {
    SettingsBench bench;
    for (const int16_t port : {int16_t{4}, int16_t{2}, int16_t{10}}) {
        bench.core.ComPortNo(port);
        EXPECT_EQ(bench.core.ComPortNo(), port);
        EXPECT_EQ(bench.core.seq.ComPortNo(), port);
    }
    for (const int16_t port : {int16_t{0}, int16_t{11}, int16_t{-1}}) {
        bench.core.ComPortNo(4);
        bench.core.ComPortNo(port);
        EXPECT_EQ(bench.core.ComPortNo(), 1) << port;
        EXPECT_EQ(bench.core.seq.ComPortNo(), 1) << port;
    }
}

// A program in a folder of the user's own (a build tree, a portable copy) keeps its settings
// beside itself; an installed one, in a system folder, keeps them in the user's config folder,
// whoever runs it (root owns and may write /usr/bin), and writes nothing beside itself.
TEST(SettingsFiles, BesideTheProgramOnlyInAFolderOfTheUsersOwn) {
    struct Case {
        const char* name;
        bool installed;  // the program's folder is /usr/bin, else the bench's own folder
    } cases[] = {{"own folder", false}, {"installed", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsBench bench;
        const std::string folder = c.installed ? std::string("/usr/bin") : bench.exeDir();
        const std::string beside = folder + "/" + CalvexCore::kSettingsFileName;
        const bool besideBefore = std::filesystem::exists(beside);
        bench.placeFor(folder);
        EXPECT_EQ(bench.core.profMain.FullPath(), c.installed ? bench.userFile() : beside);
        bench.core.ComPortNo(3);
        bench.core.SaveProfile();
        EXPECT_EQ(saved(c.installed ? bench.userFile() : beside, "ComPort"), "3");
        if (c.installed) {
            EXPECT_EQ(std::filesystem::exists(beside), besideBefore) << "nothing beside /usr/bin";
        } else {
            EXPECT_FALSE(std::filesystem::exists(bench.userFile()));
        }
    }
}

// The settings beside the program are never ignored.

TEST(SettingsFiles, BesideTheExecutableAsDefaultsUnderTheUsersFile) {
    const std::string systemFile =
        "; installed\n[PORTS]\nCOM1=/dev/ttyS0\nCOM2=/dev/ttyS1\n"
        "[OPTION]\nComPort=3\nComAutoRelease=2\n";
    struct Case {
        const char* name;
        bool writable;
        std::optional<std::string> beside;  // the file beside the executable
        std::optional<std::string> user;    // the user's file
        int16_t port, release;              // loaded
        const char* com1;                   // devices, before and after saving
        const char* com2;
        const char* com3;
        std::optional<std::string> besideAfter;  // after one save and after a second
        std::optional<std::string> userAfter;
    } cases[] = {
        {"writable directory: one file, the user's is not read", true, systemFile,
         "[OPTION]\nComPort=4\n[PORTS]\nCOM3=/dev/null\n", 3, 2, "/dev/ttyS0", "/dev/ttyS1",
         "/dev/ttyUSB2", systemFile, "[OPTION]\nComPort=4\n[PORTS]\nCOM3=/dev/null\n"},
        {"read-only directory without a user file", false, systemFile, std::nullopt, 3, 2,
         "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB2", systemFile,
         "[PORTS]\nCOM1=/dev/ttyS0\nCOM2=/dev/ttyS1\n[OPTION]\nComPort=3\nComAutoRelease=2\n"},
        {"read-only directory with a user file", false, systemFile,
         "; mine\n[OPTION]\nComAutoRelease=5\nComPort=4\n", 4, 5, "/dev/ttyS0", "/dev/ttyS1",
         "/dev/ttyUSB2", systemFile,
         "; mine\n[OPTION]\nComAutoRelease=5\nComPort=4\n[PORTS]\nCOM1=/dev/ttyS0\n"
         "COM2=/dev/ttyS1\n"},
        {"user file overriding one key", false, systemFile, "[OPTION]\nComPort=4\n", 4, 2,
         "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB2", systemFile,
         "[OPTION]\nComPort=4\nComAutoRelease=2\n[PORTS]\nCOM1=/dev/ttyS0\nCOM2=/dev/ttyS1\n"},
        {"a key present in the user file wins even when it does not convert", false, systemFile,
         "[OPTION]\nComPort=abc\n", 1, 2, "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB2", systemFile,
         "[OPTION]\nComPort=1\nComAutoRelease=2\n[PORTS]\nCOM1=/dev/ttyS0\nCOM2=/dev/ttyS1\n"},
        {"a user PORTS entry wins over the system one", false, systemFile,
         "[PORTS]\nCOM1=/dev/ttyACM0\nCOM3=/tmp/velka\n", 3, 2, "/dev/ttyACM0", "/dev/ttyS1",
         "/tmp/velka", systemFile,
         "[PORTS]\nCOM1=/dev/ttyACM0\nCOM3=/tmp/velka\nCOM2=/dev/ttyS1\n"
         "[OPTION]\nComPort=3\nComAutoRelease=2\n"},
        {"read-only directory without any file: built-in defaults", false, std::nullopt,
         std::nullopt, 1, 0, "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", std::nullopt,
         "[OPTION]\nComPort=1\nComAutoRelease=0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsBench bench;
        SettingsBench::write(bench.besideExe(), c.beside);
        SettingsBench::write(bench.userFile(), c.user);
        bench.place(c.writable);
        bench.core.LoadProfile();
        EXPECT_EQ(bench.core.ComPortNo(), c.port);
        EXPECT_EQ(bench.core.ComAutoRelease(), c.release);

        const auto devices = [&] {
            const clsCmcProfileIO& prof = bench.core.profMain;
            EXPECT_EQ(prof.ComPortDevice(1), c.com1);
            EXPECT_EQ(prof.ComPortDevice(2), c.com2);
            EXPECT_EQ(prof.ComPortDevice(3), c.com3);
        };
        devices();
        for (int save = 1; save <= 2; ++save) {
            SCOPED_TRACE("save " + std::to_string(save));
            bench.core.SaveProfile();
            EXPECT_EQ(SettingsBench::text(bench.besideExe()), c.besideAfter);
            EXPECT_EQ(SettingsBench::text(bench.userFile()), c.userAfter);
            devices();
        }
    }
}

TEST(SettingsFiles, TheEnvironmentStillWinsForPortDevices) {
    SettingsBench bench;
    TempDir::write(bench.besideExe(), "[PORTS]\nCOM2=/dev/ttyS1\n");
    bench.place(false);
    SettingsBench::write(bench.userFile(), "[PORTS]\nCOM2=/dev/ttyACM1\n");
    ::setenv("CALVEXADJ_COM2", "/tmp/sim", 1);
    EXPECT_EQ(bench.core.profMain.ComPortDevice(2), "/tmp/sim");
    ::unsetenv("CALVEXADJ_COM2");
    EXPECT_EQ(bench.core.profMain.ComPortDevice(2), "/dev/ttyACM1");
}

TEST(SettingsFiles, WhereTheFilesAre) {
    SettingsBench bench;
    const clsCmcProfileIO& prof = bench.core.profMain;
    bench.place(true);
    EXPECT_EQ(prof.GetMyProfile(), bench.besideExe());
    EXPECT_EQ(prof.DefaultsPath(), "");
    EXPECT_EQ(prof.GetDefaultsProfile(), "");

    bench.place(false);
    EXPECT_EQ(prof.GetMyProfile(), bench.userFile());
    EXPECT_TRUE(std::filesystem::is_directory(bench.cfgDir() + "/calvexadj"));
    EXPECT_EQ(prof.DefaultsPath(), bench.exeDir() + "/");
    EXPECT_EQ(prof.GetDefaultsProfile(), bench.besideExe());
}

// An option beyond the port's: written once the technician has used it, read back as saved.
TEST(SettingsOptions, TheWireTraceAndLiveReadingsAreSavedOnceUsedAndReadBack) {
    struct Case {
        const char* file;  // before the start
        bool use;          // the technician turns the option on, then off again
        bool on;           // in force after loading
        const char* savedValue;
    } cases[] = {
        {"[OPTION]\nComPort=2\n", false, false, "<none>"},
        {"[OPTION]\nComPort=2\n", true, false, "0"},
        {"[OPTION]\nWireTrace=1\n", false, true, "1"},
        {"[OPTION]\nWireTrace=0\n", false, false, "0"},
        {"[OPTION]\nWireTrace=x\n", false, false, "x"},  // left as it was
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        SettingsBench bench;
        SettingsBench::write(bench.besideExe(), c.file);
        bench.core.LoadProfile();
        EXPECT_EQ(bench.core.RecordWireTrace(), c.on);
        if (c.use) {
            bench.core.RecordWireTrace(true);
            bench.core.RecordWireTrace(false);
        }
        bench.core.SaveProfile();
        EXPECT_EQ(saved(bench.besideExe(), "WireTrace"), c.savedValue);
    }
    // Live readings keep to the same rule, on their own key.
    for (const auto& c : cases) {
        std::string file = c.file;
        if (const auto at = file.find("WireTrace"); at != std::string::npos)
            file.replace(at, 9, "LiveReadings");
        SCOPED_TRACE(file);
        SettingsBench bench;
        SettingsBench::write(bench.besideExe(), file);
        bench.core.LoadProfile();
        EXPECT_EQ(bench.core.LiveReadings(), c.on);
        if (c.use) {
            bench.core.LiveReadings(true);
            bench.core.LiveReadings(false);
        }
        bench.core.SaveProfile();
        EXPECT_EQ(saved(bench.besideExe(), "LiveReadings"), c.savedValue);
        EXPECT_EQ(saved(bench.besideExe(), "WireTrace"), "<none>");
    }
}

TEST(SettingsOptions, TheTechnicianIsSavedOnceNamedAndReadBack) {
    SettingsBench first;
    SettingsBench::write(first.besideExe(), "[OPTION]\nComPort=2\n");
    first.core.LoadProfile();
    EXPECT_EQ(first.core.Technician(), "");
    first.core.SaveProfile();
    EXPECT_EQ(saved(first.besideExe(), "Technician"), "<none>");
    first.core.Technician("A. Tech");
    first.core.SaveProfile();
    EXPECT_EQ(saved(first.besideExe(), "Technician"), "A. Tech");
    first.core.LoadProfile();
    EXPECT_EQ(first.core.Technician(), "A. Tech");
}

}  // namespace
}  // namespace calvex
