// The whole desktop program over a real serial line: the program's own objects and QtSerialControl
// on the pseudo-terminal of the velkasim program, with the system clock and a 50 ms QTimer.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DesktopBench.h"
#include "link/ITickSource.h"
#include "link/frmCom.h"
#include "link/qt/QtSerialControl.h"
#include "model/BuiltInImage.h"
#include "rig/FlowBench.h"

namespace calvex {
namespace {

using testing::DesktopFolder;
using testing::TempDir;

constexpr int kReadPatienceMs = 60000;  // a clone read at 9600 baud takes some seconds

std::string ProgramBeside(const std::string& name) {
    return (std::filesystem::canonical("/proc/self/exe").parent_path() / name).string();
}

// velkasim serving a pty under a link in the test's folder, tracing every frame to a file.
class Velkasim {
  public:
    Velkasim(const std::string& link, const std::string& image, const std::string& trace,
             std::vector<std::string> more = {})
        : link_(link), trace_(trace) {
        const std::string program = ProgramBeside("velkasim");
        if (::access(program.c_str(), X_OK) != 0) {
            ADD_FAILURE() << program << " is missing: build the velkasim target first";
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            const int out = ::open(trace.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, STDOUT_FILENO);
            std::vector<std::string> args = {"velkasim", "--link", link,
                                             "--save",   image,    "--trace"};
            args.insert(args.end(), more.begin(), more.end());
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~Velkasim() { stop(SIGKILL); }
    Velkasim(const Velkasim&) = delete;
    Velkasim& operator=(const Velkasim&) = delete;

    bool ready() const {
        return pid_ > 0 && QTest::qWaitFor([&] { return std::filesystem::exists(link_); }, 10000);
    }
    std::string trace() const { return TempDir::read(trace_); }
    // Whether the radio has taken in a frame from the computer holding these bytes (hex).
    bool heard(const std::string& bytes) const {
        std::istringstream lines(trace());
        std::string line;
        while (std::getline(lines, line)) {
            if (line.find("PC->radio") != std::string::npos &&
                line.find(bytes) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    // Puts the other unit on the line in place of the one there.
    void swapUnits() const { ::kill(pid_, SIGUSR1); }
    // Ends it; with SIGTERM it saves its image first. The wait status.
    int stop(int sig) {
        int status = -1;
        if (pid_ > 0) {
            ::kill(pid_, sig);
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        return status;
    }

  private:
    std::string link_, trace_;
    pid_t pid_ = -1;
};

// The desktop program's own wiring (see calvexadj.cpp) with the settings in the test's folder.
struct RealDesktop {
    DesktopFolder folder;
    frmMain window;
    QtMessageBox box;
    CalvexCore* corePtr = nullptr;
    QtSerialControl port{[this](int16_t n) { return corePtr->profMain.ComPortDevice(n); }};
    CalvexCore core{port, systemTickSource(), box, window};
    QTimer timSolid;

    explicit RealDesktop(const std::vector<SerialDevice>& present = {}) {
        corePtr = &core;
        core.profMain.Path(folder.dir.path() + "/");
        core.profMain.DefaultsPath("");
        box.parent(&window);
        port.eventGuard([this](const std::function<void()>& event) { core.RunTickEvent(event); });
        core.onTaskDone([this] { window.task(); });
        window.deviceSource([present] { return present; });
        window.attach(core, box);
        timSolid.setInterval(50);
        QObject::connect(&timSolid, &QTimer::timeout, [this] { core.Tick(); });
    }
    ~RealDesktop() {
        timSolid.stop();
        if (box.openBox() != nullptr) box.openBox()->close();
        core.com.Form_Unload();
    }

    void start() {
        ASSERT_TRUE(window.Form_Load());
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        box.blocking(false);
        timSolid.start();
    }
    // Starts the program on the device at link and connects to the radio there.
    void connectTo(const std::string& link) {
        ::setenv("CALVEXADJ_COM1", link.c_str(), 1);
        ASSERT_NO_FATAL_FAILURE(start());
        QTest::mouseClick(window.button(0), Qt::LeftButton);  // Connect
        ASSERT_TRUE(QTest::qWaitFor([&] { return idle(); }, kReadPatienceMs));
    }
    bool idle() {
        if (RigVelkaTestAccess::opState(core.rig) != 19) return false;
        for (int16_t i = 0; i < core.console.ListCount(); ++i) {
            if (core.console.flgChanged(i)) return false;
        }
        return true;
    }
    int line(const std::string& title) const {
        for (int i = 0; i < window.consoleList()->count(); ++i) {
            if (window.consoleList()->item(i)->text().toStdString().rfind(title, 0) == 0) return i;
        }
        return -1;
    }
    QMessageBox* waitForBox() {
        const bool shown = QTest::qWaitFor(
            [&] { return box.openBox() != nullptr && box.openBox()->isVisible(); }, 10000);
        return shown ? box.openBox() : nullptr;
    }
};

TEST(FullStack, ShiftRightOnPowerHiReachesTheRadiosMemory) {
    RealDesktop d;
    const std::string link = d.folder.dir.file("velka");
    const std::string image = d.folder.dir.file("image.bin");
    Velkasim sim(link, image, d.folder.dir.file("trace.txt"));
    ASSERT_TRUE(sim.ready());
    ::setenv("CALVEXADJ_COM1", link.c_str(), 1);
    ASSERT_NO_FATAL_FAILURE(d.start());

    QTest::mouseClick(d.window.button(0), Qt::LeftButton);  // Connect
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.idle(); }, kReadPatienceMs)) << sim.trace();
    ASSERT_TRUE(d.window.consoleList()->isVisible());
    EXPECT_EQ(d.window.portLabel()->text().toStdString(), "COM 1: OPEN");

    const int power = d.line(" Power(Hi)");
    ASSERT_GE(power, 0);
    ASSERT_EQ(d.core.console.Value(static_cast<int16_t>(power)), 210);
    ConsoleListWidget* list = d.window.consoleList();
    list->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }, 5000));
    list->setCurrentRow(power);
    QTest::keyClick(list, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(d.core.console.Value(static_cast<int16_t>(power)), 215);

    // Adjustment command 05 (power Hi) with the value as two hex digits: "D7" is 44 37.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.heard("E8 26 01 01 00 05 44 37 FD"); }, 10000))
        << sim.trace();
    const int status = sim.stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string saved = TempDir::read(image);
    ASSERT_EQ(saved.size(), 1664u);
    EXPECT_EQ(static_cast<uint8_t>(saved[79]), 215);
}

TEST(FullStack, ClosingTheWindowDuringTheOscillatorProcedurePutsBackWhatItTried) {
    RealDesktop d;
    const std::string link = d.folder.dir.file("velka");
    const std::string image = d.folder.dir.file("image.bin");
    Velkasim sim(link, image, d.folder.dir.file("trace.txt"));
    ASSERT_TRUE(sim.ready());
    ASSERT_NO_FATAL_FAILURE(d.connectTo(link)) << sim.trace();
    const std::string asRead = d.core.radio.eepImage.ReadBlock(0, 1664);

    const auto txf = static_cast<int16_t>(d.line("       TXF"));
    ASSERT_GE(txf, 0);
    d.core.console.EnterPushed(txf);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return RigVelkaTestAccess::procStep(d.core.rig) == 3; }, 10000));
    d.core.console.UpDown(txf, 5);
    // Trial values have gone to the radio.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return d.core.radio.eepImage.ReadBlock(0, 1664) != asRead; }, 10000));

    d.window.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.window.isVisible(); }, 5000));
    EXPECT_FALSE(d.core.rig.RigVelkaProp_PuttingBack());
    const int status = sim.stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(TempDir::read(image), velka::builtInImage()) << "the trial values stayed";
}

TEST(FullStack, AfterTheReleaseAnotherUnitOnTheCableGetsNothing) {
    RealDesktop d;
    const std::string link = d.folder.dir.file("velka");
    const std::string image = d.folder.dir.file("image.bin");
    const std::string other = d.folder.dir.file("other.bin");
    Velkasim sim(link, image, d.folder.dir.file("trace.txt"),
                 {"--other", "BBBB2222", "--other-save", other});
    ASSERT_TRUE(sim.ready());
    d.core.ComAutoRelease(1);
    ASSERT_NO_FATAL_FAILURE(d.connectTo(link)) << sim.trace();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.core.com.comOpen(); }, 5000));

    sim.swapUnits();
    QTest::qWait(200);
    d.core.console.UpDown(testing::FlowBench::kPowerHi, 1);
    QMessageBox* box = d.waitForBox();
    ASSERT_NE(box, nullptr);
    const std::string text = box->text().toStdString();
    EXPECT_EQ(text.rfind("Another transceiver is on the cable.", 0), 0u) << text;
    EXPECT_NE(text.find("20417735"), std::string::npos) << text;
    EXPECT_NE(text.find("BBBB2222"), std::string::npos) << text;
    const int status = sim.stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(TempDir::read(other), velka::builtInImage()) << "the other unit was changed";
    EXPECT_EQ(TempDir::read(image), velka::builtInImage());
}

TEST(FullStack, AMissingDeviceIsNamedWithTheDevicesPresent) {
    const SerialDevice adapter{"/dev/ttyUSB3",
                               "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_Q-if00",
                               "FT232R USB UART",
                               "FTDI",
                               "Q",
                               0x0403,
                               0x6001};
    RealDesktop d({adapter});
    const std::string missing = d.folder.dir.file("unplugged/ttyUSB0");
    ::setenv("CALVEXADJ_COM1", missing.c_str(), 1);
    ASSERT_NO_FATAL_FAILURE(d.start());

    QTest::mouseClick(d.window.button(0), Qt::LeftButton);
    QMessageBox* box = d.waitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString().rfind("Cannot access COM 1.\n\nCheck the following:", 0),
              0u);
    const std::string detail = box->informativeText().toStdString();
    EXPECT_EQ(detail.rfind(missing + ": ", 0), 0u) << detail;
    EXPECT_NE(detail.find("Serial devices present now:\n- " + adapter.byId +
                          " (FT232R USB UART, /dev/ttyUSB3)"),
              std::string::npos)
        << detail;
    EXPECT_NE(detail.find("Choose the device of COM 1"), std::string::npos) << detail;
    EXPECT_NE(detail.find(d.core.profMain.FullPath()), std::string::npos) << detail;
}

TEST(FullStack, ALostDeviceSaysToCheckTheCableAndConnectAgain) {
    RealDesktop d;
    const std::string link = d.folder.dir.file("velka");
    Velkasim sim(link, d.folder.dir.file("image.bin"), d.folder.dir.file("trace.txt"));
    ASSERT_TRUE(sim.ready());
    ASSERT_NO_FATAL_FAILURE(d.connectTo(link)) << sim.trace();

    sim.stop(SIGKILL);  // the cable is pulled
    QMessageBox* box = d.waitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString().rfind("Cannot access COM 1.", 0), 0u);
    const std::string detail = box->informativeText().toStdString();
    EXPECT_EQ(detail.rfind(link + ": " + frmCom::kDisconnected, 0), 0u) << detail;
    EXPECT_NE(detail.find("Check the cable and its USB adapter, then press Connect again."),
              std::string::npos)
        << detail;
}

}  // namespace
}  // namespace calvex
