#include "shell/qt/QtMessageBox.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "DesktopBench.h"

namespace calvex {
namespace {

TEST(DesktopMessageBox, TicksRunBehindAnOpenCloneErrorBox) {
    testing::Desktop d;
    d.start();
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
    box.critical("first", "Calvex ADJ Rev.1.0", "");
    QMessageBox* first = box.openBox();
    ASSERT_NE(first, nullptr);
    box.critical("first", "Calvex ADJ Rev.1.0", "");   // already open
    box.critical("second", "Calvex ADJ Rev.1.0", "");  // waits
    box.critical("second", "Calvex ADJ Rev.1.0", "");  // already waiting
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
