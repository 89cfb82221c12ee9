// What the message of a port that fails tells the technician, from the facts the program sees.
#include "shell/qt/PortAdvice.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/TempDir.h"
#include "link/frmCom.h"

namespace calvex {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

const SerialDevice kFtdi{"/dev/ttyUSB1",
                         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0",
                         "FT232R USB UART",
                         "FTDI",
                         "A10K",
                         0x0403,
                         0x6001};
const SerialDevice kOnboard{"/dev/ttyS0", "", "", "", "", {}, {}};

PortFacts Facts(const std::string& reason) {
    PortFacts f;
    f.comPort = 2;
    f.device = "/dev/ttyUSB0";
    f.reason = reason;
    f.settingsFile = "/home/tech/.config/calvexadj/CALVEXADJ.rs";
    return f;
}

TEST(PortAdvice, NamesTheDeviceAndSaysWhatToDo) {
    struct Case {
        const char* name;
        PortFacts facts;
        std::vector<std::string> says;
        std::vector<std::string> doesNotSay;
    };
    std::vector<Case> cases;
    {
        PortFacts f = Facts("No such file or directory");
        f.present = {kFtdi, kOnboard};
        cases.push_back({"missing, others present",
                         f,
                         {"Serial devices present now:\n- "
                          "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0 "
                          "(FT232R USB UART, /dev/ttyUSB1)\n- /dev/ttyS0 (serial port)\n",
                          "Choose the device of COM 2 under Option > Port > Serial devices",
                          "COM2=<device> in the [PORTS] section of "
                          "/home/tech/.config/calvexadj/CALVEXADJ.rs."},
                         {"usermod", "ModemManager"}});
    }
    {
        PortFacts f = Facts("No such file or directory");
        cases.push_back({"missing, nothing present",
                         f,
                         {"No serial device is present: plug in the cable's USB adapter.",
                          "Option > Port > Serial devices", "[PORTS]"},
                         {"present now"}});
    }
    {
        PortFacts f = Facts("Inappropriate ioctl for device");
        f.device = "/home/tech/notes.txt";
        f.exists = true;
        f.present = {kOnboard};
        cases.push_back(
            {"not a terminal",
             f,
             {"/home/tech/notes.txt is not a serial device.", "- /dev/ttyS0", "COM2=<device>"},
             {}});
    }
    PortFacts denied = Facts("Permission denied");
    denied.exists = denied.isCharDevice = true;
    denied.group = "dialout";
    {
        cases.push_back({"not in the group",
                         denied,
                         {"/dev/ttyUSB0 belongs to group dialout, which you are not in.",
                          "sudo usermod -aG dialout $USER", "log out and in again"},
                         {"ModemManager"}});
        PortFacts f = denied;
        f.group = "uucp";
        f.groupListed = true;
        cases.push_back({"joined since logging in",
                         f,
                         {"You were added to group uucp after you logged in: log out and in "
                          "again."},
                         {"usermod"}});
        f.inGroup = true;
        cases.push_back({"in the group, mode too strict",
                         f,
                         {"You are in group uucp", "ls -l /dev/ttyUSB0"},
                         {"usermod"}});
        f.group = "root";
        f.inGroup = f.groupListed = false;
        cases.push_back({"root's alone",
                         f,
                         {"Only root may use /dev/ttyUSB0", "GROUP=\"dialout\""},
                         {"usermod"}});
    }
    PortFacts busy = Facts("Device or resource busy");
    busy.exists = busy.isCharDevice = busy.accessible = true;
    busy.group = "dialout";
    busy.inGroup = busy.groupListed = true;
    {
        PortFacts f = busy;
        f.holders = {"minicom (process 812)"};
        cases.push_back({"held by a program seen",
                         f,
                         {"Another program holds /dev/ttyUSB0: minicom (process 812). Close it, "
                          "then press Connect again."},
                         {"ModemManager", "usermod"}});
        f = busy;
        f.modemManager = true;
        f.device = kFtdi.byId;
        f.present = {kFtdi};
        cases.push_back({"held by whom cannot be seen, ModemManager runs",
                         f,
                         {"another program may hold it",
                          "ModemManager probes a newly plugged USB serial adapter",
                          "and it is running here", "wait a minute and press Connect again",
                          "ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", "
                          "ENV{ID_MM_DEVICE_IGNORE}=\"1\""},
                         {}});
        f = busy;
        f.holders = {"ModemManager (process 640)"};
        cases.push_back({"held by ModemManager",
                         f,
                         {"Another program holds /dev/ttyUSB0: ModemManager (process 640).",
                          "ENV{ID_MM_DEVICE_IGNORE}=\"1\""},
                         {"running here", "idVendor"}});
    }
    {
        PortFacts f = Facts(frmCom::kDisconnected);
        f.exists = f.isCharDevice = f.accessible = true;
        cases.push_back({"lost",
                         f,
                         {"Check the cable and its USB adapter, then press Connect again."},
                         {"present now", "ModemManager"}});
        f.exists = f.isCharDevice = f.accessible = false;
        f.present = {kFtdi};
        cases.push_back({"lost, back under another name",
                         f,
                         {"Check the cable and its USB adapter, then press Connect again.\n"
                          "Serial devices present now:\n- /dev/serial/by-id/",
                          "Choose the device of COM 2"},
                         {}});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = PortAdvice(c.facts);
        EXPECT_EQ(text.substr(0, text.find('\n')), c.facts.device + ": " + c.facts.reason);
        for (const std::string& s : c.says)
            EXPECT_NE(text.find(s), std::string::npos) << "missing: " << s << "\nin:\n" << text;
        for (const std::string& s : c.doesNotSay)
            EXPECT_EQ(text.find(s), std::string::npos) << "unwanted: " << s << "\nin:\n" << text;
    }
}

// A /proc of its own: process directories with a name and open files.
struct FakeSystem {
    TempDir dir;
    std::string proc() const { return dir.file("proc"); }
    std::string lock() const { return dir.file("lock"); }
    FakeSystem() {
        fs::create_directories(proc());
        fs::create_directories(lock());
    }
    void process(long pid, const std::string& name, const std::vector<std::string>& open = {}) {
        const std::string p = proc() + "/" + std::to_string(pid);
        fs::create_directories(p + "/fd");
        TempDir::write(p + "/comm", name + "\n");
        int fd = 3;
        for (const std::string& target : open)
            fs::create_symlink(target, p + "/fd/" + std::to_string(fd++));
    }
};

TEST(PortFacts, SeenOnTheDeviceTheLockFileAndTheProcesses) {
    FakeSystem sys;
    sys.process(4242, "minicom");
    TempDir::write(sys.lock() + "/LCK..null", "      4242\n");  // a padded number, as uucp locks
    sys.process(5151, "screen", {"/dev/zero", "/dev/null"});
    sys.process(640, "ModemManager");
    sys.process(::getpid(), "calvexadj", {"/dev/null"});    // the program's own port is no holder
    TempDir::write(sys.lock() + "/LCK..zero", "999999\n");  // a stale lock: no such process

    const std::string regular = sys.dir.file("notes.txt");
    TempDir::write(regular, "");
    struct Case {
        std::string device;
        bool exists, isCharDevice;
        std::vector<std::string> holders;
    } cases[] = {
        {"/dev/null", true, true, {"screen (process 5151)", "minicom (process 4242)"}},
        {"/dev/zero", true, true, {"screen (process 5151)"}},
        {sys.dir.file("gone"), false, false, {}},
        {regular, true, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        const PortFacts f =
            GatherPortFacts(3, c.device, "reason", {kFtdi}, "/tmp/x.rs", sys.lock(), sys.proc());
        EXPECT_EQ(f.comPort, 3);
        EXPECT_EQ(f.device, c.device);
        EXPECT_EQ(f.exists, c.exists);
        EXPECT_EQ(f.isCharDevice, c.isCharDevice);
        EXPECT_TRUE(f.modemManager);
        std::vector<std::string> holders = f.holders, expected = c.holders;
        std::sort(holders.begin(), holders.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(holders, expected);
        EXPECT_EQ(f.present.size(), 1u);
        EXPECT_EQ(f.settingsFile, "/tmp/x.rs");
    }
    // /dev/null is everybody's: readable, writable, and of a group this process can name.
    const PortFacts null = GatherPortFacts(1, "/dev/null", "", {}, "", sys.lock(), sys.proc());
    EXPECT_TRUE(null.accessible);
    EXPECT_FALSE(null.group.empty());
}

TEST(PortMenuCaption, DeviceAndWhatItIs) {
    TempDir dir;
    TempDir::write(dir.file("velka"), "");
    const std::vector<SerialDevice> present{kFtdi, kOnboard};
    struct Case {
        int16_t port;
        std::string device, caption;
    } cases[] = {
        {1, "/dev/ttyUSB1", "COM &1  /dev/ttyUSB1  FT232R USB UART"},
        {2, kFtdi.byId, "COM &2  " + kFtdi.byId + "  FT232R USB UART"},
        {3, "/dev/ttyS0", "COM &3  /dev/ttyS0  serial port"},
        {4, "/dev/ttyUSB7", "COM &4  /dev/ttyUSB7  (not present)"},
        {1, dir.file("velka"), "COM &1  " + dir.file("velka") + "  (present)"},
        {2, "/dev/tty&9", "COM &2  /dev/tty&&9  (not present)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortMenuCaption(c.port, c.device, present), c.caption);
    }
}

TEST(SerialDevices, TheByIdLinkThatNamesANode) {
    TempDir dir;
    const std::string byId = dir.file("by-id");
    fs::create_directories(byId);
    TempDir::write(dir.file("ttyUSB0"), "");
    TempDir::write(dir.file("ttyUSB1"), "");
    fs::create_symlink("../ttyUSB1", byId + "/usb-B-if00-port0");
    fs::create_symlink(dir.file("ttyUSB0"), byId + "/usb-A-if00-port0");
    fs::create_symlink(dir.file("ttyUSB0"), byId + "/usb-A-if01-port0");
    fs::create_symlink(dir.file("gone"), byId + "/usb-C-if00-port0");

    EXPECT_EQ(LinkNaming(dir.file("ttyUSB0"), byId), byId + "/usb-A-if00-port0");
    EXPECT_EQ(LinkNaming(dir.file("ttyUSB1"), byId), byId + "/usb-B-if00-port0");
    EXPECT_EQ(LinkNaming(dir.file("ttyUSB2"), byId), "");
    EXPECT_EQ(LinkNaming(dir.file("ttyUSB0"), dir.file("no-such-folder")), "");

    const SerialDevice d{dir.file("ttyUSB1"), byId + "/usb-B-if00-port0", "", "", "", {}, {}};
    EXPECT_EQ(d.stablePath(), byId + "/usb-B-if00-port0");
    EXPECT_TRUE(d.isNamedBy(dir.file("ttyUSB1")));
    EXPECT_TRUE(d.isNamedBy(byId + "/usb-B-if00-port0"));
    EXPECT_FALSE(d.isNamedBy(dir.file("ttyUSB0")));
    EXPECT_FALSE(d.isNamedBy(""));
}

}  // namespace
}  // namespace calvex
