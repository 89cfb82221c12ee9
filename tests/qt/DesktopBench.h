#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "base/TempDir.h"
#include "link/FakeTickSource.h"
#include "link/LoopbackSerialControl.h"
#include "model/Transceiver.h"
#include "model/TransceiverPeer.h"
#include "rig/RigVelkaTestAccess.h"
#include "shell/CalvexCore.h"
#include "shell/qt/QtMessageBox.h"
#include "shell/qt/frmMain.h"

namespace calvex::testing {

// A test's own surroundings for the desktop program: a temporary folder holding a Const.ini as
// the current directory, and none of the port variables of the environment.
class DesktopFolder {
  public:
    DesktopFolder() : oldCwd_(std::filesystem::current_path()) {
        std::string constants = "Calvex ADJ Rev.1.0\n";
        for (int i = 0; i < 21; ++i)
            constants += "0.5\n";
        TempDir::write(dir.file("Const.ini"), constants);
        std::filesystem::current_path(dir.path());
        for (int n = 1; n <= 4; ++n) {
            const std::string name = "CALVEXADJ_COM" + std::to_string(n);
            if (const char* v = std::getenv(name.c_str())) saved_[name] = v;
            ::unsetenv(name.c_str());
        }
    }
    ~DesktopFolder() {
        std::filesystem::current_path(oldCwd_);
        for (int n = 1; n <= 4; ++n)
            ::unsetenv(("CALVEXADJ_COM" + std::to_string(n)).c_str());
        for (const auto& [name, value] : saved_)
            ::setenv(name.c_str(), value.c_str(), 1);
    }
    DesktopFolder(const DesktopFolder&) = delete;
    DesktopFolder& operator=(const DesktopFolder&) = delete;

    TempDir dir;

  private:
    std::filesystem::path oldCwd_;
    std::map<std::string, std::string> saved_;
};

// The desktop's own wiring (real window, real message box, a real QTimer) over the in-process
// line to the simulated transceiver on a fake clock that advances 50 ms a tick. The timer runs
// fast: the clock, not the wall, is the radio's time. Settings go to the test's folder.
struct Desktop {
    DesktopFolder folder;
    FakeTickSource clock{1000};
    velka::Transceiver radio;
    velka::TransceiverPeer peer{radio, clock};
    LoopbackSerialControl port{peer};
    frmMain window;
    QtMessageBox box;
    CalvexCore core{port, clock, box, window};
    QTimer timSolid;
    int ticks = 0;

    Desktop() {
        core.profMain.Path(folder.dir.path() + "/");
        core.profMain.DefaultsPath("");
        box.parent(&window);
        box.blocking(false);
        window.deviceSource([] { return std::vector<SerialDevice>{}; });
        window.attach(core, box);
        core.onTaskDone([this] {
            ++ticks;
            window.task();
        });
        port.eventGuard([this](const std::function<void()>& event) { core.RunTickEvent(event); });
        timSolid.setInterval(1);
        QObject::connect(&timSolid, &QTimer::timeout, [this] { tick(); });
    }
    ~Desktop() {
        timSolid.stop();
        if (box.openBox() != nullptr) box.openBox()->close();
    }

    void tick() {
        clock.advance(50);
        port.poll();
        core.Tick();
    }
    // Form_Load, then the window on screen with the focus, and the timer running.
    void start() {
        ASSERT_TRUE(window.Form_Load());
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        timSolid.start();
    }
    std::string settingsFile() const { return core.profMain.FullPath(); }

    bool idleAfterConnect() {
        if (calvex::RigVelkaTestAccess::opState(core.rig) != 19) return false;
        for (int16_t i = 0; i < core.console.ListCount(); ++i) {
            if (core.console.flgChanged(i)) return false;
        }
        return true;
    }
    // Clicks Connect and waits until the image is read, the console filled and sent.
    void connect() {
        QTest::mouseClick(window.button(0), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return idleAfterConnect(); }, 30000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.consoleList()->isVisible(); }, 5000));
    }
    // The console line whose text begins with title.
    int line(const std::string& title) const {
        for (int i = 0; i < window.consoleList()->count(); ++i) {
            if (window.consoleList()->item(i)->text().toStdString().rfind(title, 0) == 0) return i;
        }
        return -1;
    }
};

}  // namespace calvex::testing
