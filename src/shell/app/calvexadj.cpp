// Start-up of the desktop program: the command line, one copy only, the core over the real
// serial port, the 50 ms heartbeat, the main window, and an orderly end on a termination signal.
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/Common.h"
#include "base/ProgramPlaces.h"
#include "link/ITickSource.h"
#include "link/qt/QtSerialControl.h"
#include "shell/CalvexCore.h"
#include "shell/CommandLine.h"
#include "shell/Diagnostics.h"
#include "shell/RunGuarded.h"
#include "shell/qt/QtMessageBox.h"
#include "shell/qt/SingleCopy.h"
#include "shell/qt/frmMain.h"

using namespace calvex;

namespace {

QString runtimeFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    return dir;
}

// SIGTERM, SIGHUP and SIGINT (a service manager, logout, Ctrl+C) become a call of onSignal from
// the event loop: the handler only writes the signal's number into a socket pair, whose other
// end a QSocketNotifier watches. A signal the program was started with ignored (nohup, a
// background job) stays ignored. The default actions come back with the object's end.
class TerminationSignals {
  public:
    explicit TerminationSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_.data()) !=
            0) {
            fds_ = {-1, -1};
            return;  // without the pair the signals keep their default actions
        }
        writeFd_ = fds_[1];
        notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
            std::array<char, 64> drained{};
            while (::read(fds_[0], drained.data(), drained.size()) > 0) {
            }
            onSignal_();
        });
        for (const int sig : {SIGTERM, SIGHUP, SIGINT}) {
            struct sigaction old {};
            if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
            struct sigaction action {};
            action.sa_handler = &TerminationSignals::handler;
            sigemptyset(&action.sa_mask);
            action.sa_flags = SA_RESTART;
            if (::sigaction(sig, &action, nullptr) == 0) installed_.push_back(sig);
        }
    }
    ~TerminationSignals() {
        for (const int sig : installed_) {
            std::signal(sig, SIG_DFL);
        }
        notifier_.reset();
        for (const int fd : fds_) {
            if (fd >= 0) ::close(fd);
        }
    }
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    // Nothing here but write(), which is safe in a signal handler; errno is kept for the code
    // the signal interrupted. A full pair drops the byte: a close is under way already.
    static void handler(int sig) {
        const int savedErrno = errno;
        const char byte = static_cast<char>(sig);
        [[maybe_unused]] const ssize_t n = ::write(writeFd_, &byte, 1);
        errno = savedErrno;
    }

    static inline volatile std::sig_atomic_t writeFd_ = -1;
    std::function<void()> onSignal_;
    std::array<int, 2> fds_{-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<int> installed_;
};

}  // namespace

int main(int argc, char** argv) {
    // Help, the version and a wrong option need no window, so no display either.
    const CommandLine commandLine =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (commandLine.action) {
        case CommandLine::Action::Help:
            std::cout << commandLine.text << std::flush;
            return 0;
        case CommandLine::Action::Version:
            std::cout << VersionText(qVersion()) << std::flush;
            return 0;
        case CommandLine::Action::Refuse:
            std::cerr << commandLine.text << std::flush;
            return 2;
        case CommandLine::Action::Run:
            break;
    }
    // Qt would abort with a page about platform plugins; one line says what is missing.
    if (!DisplayNamed(EnvironmentValue("QT_QPA_PLATFORM"), EnvironmentValue("DISPLAY"),
                      EnvironmentValue("WAYLAND_DISPLAY"))) {
        std::cerr << NoDisplayLine() << std::endl;
        return 1;
    }

    QApplication app(argc, argv);
    // Lets the desktop tie the window to its menu entry and icon (Wayland docks need it).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.calvex.CalvexAdj"));
    QtMessageBox realBox;
    // Every message also goes to the log Help > Save diagnostics writes.
    RecordingMessageBox box(realBox);

    // A termination signal before the window is up ends the start-up: a start-up message on
    // screen closes as by OK (the program then ends as it would after OK), and a window about
    // to show closes again at once.
    bool stopRequested = false;
    std::function<void()> onStop = [&stopRequested, &realBox] {
        stopRequested = true;
        realBox.dismiss();
    };
    TerminationSignals stopSignals([&onStop] { onStop(); });

    // A second copy would fight the first for the port. The first one comes to the front, so
    // that the technician finds the window already open.
    SingleCopy single(runtimeFolder());
    if (!single.acquire()) {
        single.knock();
        MsgBoxCritical(box, std::string("Cannot execute ") + kProgramTitle + " repeatedly.\r\n" +
                                kProgramTitle + " is already executing.");
        return 1;
    }

    frmMain window;
    realBox.parent(&window);
    window.messageLog(&box);
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
    QObject::connect(&single, &SingleCopy::knocked, &window, [&window] {
        if (window.isMinimized()) window.showNormal();
        window.raise();
        window.activateWindow();
    });
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
    // From here a termination signal closes the window as File > Exit does: the port is closed,
    // the settings are saved and the program ends with status 0.
    onStop = [&window] { window.close(); };
    if (stopRequested) {
        QMetaObject::invokeMethod(
            &window, [&window] { window.close(); }, Qt::QueuedConnection);
    }
    window.show();
    // From here on a message box must not stall the tick chain behind it.
    realBox.blocking(false);
    return app.exec();
}
