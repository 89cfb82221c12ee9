#include "shell/qt/QtMessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "link/FakeTickSource.h"
#include "link/LoopbackSerialControl.h"
#include "model/Transceiver.h"
#include "model/TransceiverPeer.h"
#include "shell/CalvexCore.h"
#include "shell/qt/frmMain.h"

namespace calvex {
namespace {

// The desktop's own wiring over the in-process line to the simulated transceiver, with the
// real window, the real message box and a real 50 ms timer.
struct Desktop {
    testing::FakeTickSource clock{1000};
    velka::Transceiver radio;
    velka::TransceiverPeer peer{radio, clock};
    LoopbackSerialControl port{peer};
    frmMain window;
    QtMessageBox box;
    CalvexCore core{port, clock, box, window};
    QTimer timSolid;
    int ticks = 0;

    Desktop() {
        box.parent(&window);
        box.blocking(false);
        window.attach(core, box);
        core.onTaskDone([this] {
            ++ticks;
            window.task();
        });
        port.eventGuard([this](const std::function<void()>& event) { core.RunTickEvent(event); });
        timSolid.setInterval(50);
        QObject::connect(&timSolid, &QTimer::timeout, [this] {
            clock.advance(50);
            port.poll();
            core.Tick();
        });
        window.show();
        timSolid.start();
    }
    ~Desktop() {
        timSolid.stop();
        if (box.openBox() != nullptr) box.openBox()->close();
    }
};

TEST(DesktopMessageBox, TicksRunBehindAnOpenCloneErrorBox) {
    Desktop d;
    d.port.failOpen("No such file or directory");
    d.core.rig.RigOpFunc_ClickCmd00(0);  // Connect
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return d.box.openBox() != nullptr && d.box.openBox()->isVisible(); }, 5000));
    QMessageBox* open = d.box.openBox();
    EXPECT_EQ(open->text().toStdString().rfind("Cannot access COM 1.", 0), 0u);
    EXPECT_TRUE(open->informativeText().contains(QStringLiteral("No such file or directory")));

    const int ticksAtOpen = d.ticks;
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.ticks >= ticksAtOpen + 4; }, 5000));
    // The box is still there, and the window behind it shows the idle system.
    EXPECT_EQ(d.box.openBox(), open);
    EXPECT_TRUE(open->isVisible());
    EXPECT_EQ(d.window.portLabel()->text().toStdString(), "COM 1: CLOSE");
    EXPECT_FALSE(d.core.seq.OpRunning());
    EXPECT_EQ(d.box.waiting(), 0u);

    open->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.box.openBox() == nullptr; }, 5000));
}

TEST(DesktopMessageBox, OneBoxAtATimeAndTheSameTextOnlyOnce) {
    QtMessageBox box;
    box.blocking(false);
    box.critical("first", "Calvex ADJ Rev.1.0");
    QMessageBox* first = box.openBox();
    ASSERT_NE(first, nullptr);
    box.critical("first", "Calvex ADJ Rev.1.0");   // already open
    box.critical("second", "Calvex ADJ Rev.1.0");  // waits
    box.critical("second", "Calvex ADJ Rev.1.0");  // already waiting
    EXPECT_EQ(box.openBox(), first);
    EXPECT_EQ(box.waiting(), 1u);

    first->accept();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return box.openBox() != nullptr && box.openBox() != first; }, 5000));
    EXPECT_EQ(box.openBox()->text(), QStringLiteral("second"));
    EXPECT_EQ(box.waiting(), 0u);
    box.openBox()->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.openBox() == nullptr; }, 5000));
}

}  // namespace
}  // namespace calvex
