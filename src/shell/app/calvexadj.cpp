// Start-up of the desktop program: one copy only, the core over the real serial port, the
// 50 ms heartbeat, the main window.
#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

#include "link/ITickSource.h"
#include "link/qt/QtSerialControl.h"
#include "shell/CalvexCore.h"
#include "shell/Common.h"
#include "shell/RunGuarded.h"
#include "shell/qt/QtMessageBox.h"
#include "shell/qt/frmMain.h"

using namespace calvex;

namespace {

QString lockPath() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return QDir(dir).filePath(QStringLiteral("calvexadj.lock"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtMessageBox box;

    // A second copy would fight the first for the port.
    QLockFile lock(lockPath());
    if (!lock.tryLock(0)) {
        MsgBoxCritical(box,
                       "Cannot execute Calvex ADJ Rev.1.0 repeatedly.\r\n"
                       "Calvex ADJ Rev.1.0 is already executing.");
        return 1;
    }

    frmMain window;
    box.parent(&window);
    CalvexCore* core = nullptr;
    QtSerialControl port([&core](int16_t n) {
        return core != nullptr ? core->profMain.ComPortDevice(n)
                               : QtSerialControl::DefaultDevice(n);
    });
    CalvexCore program(port, systemTickSource(), box, window);
    core = &program;
    port.eventGuard(
        [&program](const std::function<void()>& event) { program.RunTickEvent(event); });
    program.onTaskDone([&window] { window.task(); });
    window.attach(program, box);
    program.LoadProfile();

    QTimer timSolid;
    timSolid.setInterval(50);
    QObject::connect(&timSolid, &QTimer::timeout, &app, [&] { program.Tick(); });
    timSolid.start();

    if (!window.Form_Load()) {
        program.com.AllOver();  // the settings are still saved
        return 1;
    }
    QObject::connect(&window, &frmMain::unloaded, &app, [&] {
        timSolid.stop();
        app.quit();
    });
    window.show();
    // From here on a message box must not stall the tick chain behind it.
    box.blocking(false);
    return app.exec();
}
