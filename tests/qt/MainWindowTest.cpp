// The main window's menus, port label, first size and place, tab order and closing.
#include <gtest/gtest.h>

#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "DesktopBench.h"
#include "TestScreens.h"
#include "shell/PrivateProfile.h"

namespace calvex {
namespace {

using testing::Desktop;
using testing::TempDir;

// Clicks the action in its menu, as the technician does: the menu pops up and the mouse
// presses and releases on the entry.
void ClickInMenu(QAction* action) {
    auto* menu = qobject_cast<QMenu*>(action->parent());
    ASSERT_NE(menu, nullptr);
    menu->popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 5000));
}

std::vector<bool> Marks(const Desktop& d, bool ports) {
    std::vector<bool> marks;
    if (ports) {
        for (int i = 1; i <= 4; ++i)
            marks.push_back(d.window.comPortAction(i)->isChecked());
    } else {
        for (int i = 0; i <= 5; ++i)
            marks.push_back(d.window.releaseAction(i)->isChecked());
    }
    return marks;
}

TEST(MainWindowMenus, AClickChoosesAndOnlyTheTaskMovesTheMark) {
    struct Case {
        bool ports;  // Option > Port, else Option > Auto port release
        int ticked, other;
        std::vector<bool> before, after;
    } cases[] = {
        {true, 1, 3, {true, false, false, false}, {false, false, true, false}},
        {false,
         0,
         4,
         {true, false, false, false, false, false},
         {false, false, false, false, true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ports ? "port" : "release");
        Desktop d;
        ASSERT_TRUE(d.window.Form_Load());
        d.window.show();
        d.tick();
        ASSERT_EQ(Marks(d, c.ports), c.before);
        const auto action = [&](int i) {
            return c.ports ? d.window.comPortAction(i) : d.window.releaseAction(i);
        };
        const auto chosen = [&] { return c.ports ? d.core.ComPortNo() : d.core.ComAutoRelease(); };

        ASSERT_NO_FATAL_FAILURE(ClickInMenu(action(c.ticked)));
        EXPECT_EQ(Marks(d, c.ports), c.before) << "the ticked entry keeps its mark";
        EXPECT_EQ(chosen(), c.ticked);

        ASSERT_NO_FATAL_FAILURE(ClickInMenu(action(c.other)));
        EXPECT_EQ(chosen(), c.other);
        EXPECT_EQ(Marks(d, c.ports), c.before) << "the marks wait for the task";
        d.tick();
        EXPECT_EQ(Marks(d, c.ports), c.after);
    }
}

TEST(MainWindowMenus, TheFirstTickMarksTheSettingsLoaded) {
    Desktop d;
    TempDir::write(d.settingsFile(), "[OPTION]\nComPort=3\nComAutoRelease=2\n");
    d.core.LoadProfile();
    ASSERT_TRUE(d.window.Form_Load());
    d.tick();
    EXPECT_EQ(Marks(d, true), (std::vector<bool>{false, false, true, false}));
    EXPECT_EQ(Marks(d, false), (std::vector<bool>{false, false, true, false, false, false}));
    EXPECT_EQ(d.window.releaseAction(2)->text().toStdString(), "&2 sec");
    EXPECT_EQ(d.window.portLabel()->text().toStdString(), "COM 3: CLOSE");
}

TEST(MainWindowMenus, PortEntriesNameTheirDeviceAndWhatItIsWhenTheMenuOpens) {
    Desktop d;
    const std::string gone = d.folder.dir.file("gone");
    const std::string terminal = d.folder.dir.file("R&D-velka");
    TempDir::write(terminal, "");
    TempDir::write(d.settingsFile(), "[PORTS]\nCOM2=" + gone +
                                         "\nCOM3=/dev/serial/by-id/usb-Calvex_Bench_7-if00\n"
                                         "COM4=" +
                                         terminal + "\n");
    std::vector<SerialDevice> present{
        {"/dev/ttyUSB0", "", "FT232R USB UART", "FTDI", "A10K", 0x0403, 0x6001},
        {"/dev/ttyACM0", "/dev/serial/by-id/usb-Calvex_Bench_7-if00", "", "Calvex", "7", {}, {}},
    };
    d.window.deviceSource([&] { return present; });
    ASSERT_TRUE(d.window.Form_Load());
    d.window.show();

    QMenu* menu = d.window.portMenu();
    const auto captions = [&] {
        menu->popup(QPoint(40, 40));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
        std::vector<std::string> texts;
        for (int i = 1; i <= 4; ++i)
            texts.push_back(d.window.comPortAction(i)->text().toStdString());
        menu->hide();
        return texts;
    };
    EXPECT_EQ(captions(), (std::vector<std::string>{
                              "COM &1  /dev/ttyUSB0  FT232R USB UART",
                              "COM &2  " + gone + "  (not present)",
                              "COM &3  /dev/serial/by-id/usb-Calvex_Bench_7-if00  Calvex",
                              "COM &4  " + d.folder.dir.file("R&&D-velka") + "  (present)",
                          }));
    EXPECT_EQ(d.window.serialDevicesAction()->text(), QStringLiteral("&Serial devices\u2026"));
    EXPECT_EQ(d.window.serialDevicesAction()->parent(), menu);

    // The adapter is pulled and the environment names another device: the next opening says so.
    present.erase(present.begin());
    ::setenv("CALVEXADJ_COM2", "/dev/ttyACM0", 1);
    const auto again = captions();
    EXPECT_EQ(again[0], "COM &1  /dev/ttyUSB0  (not present)");
    EXPECT_EQ(again[1], "COM &2  /dev/ttyACM0  Calvex");
}

// The colour the label is painted in.
QString LabelColour(const Desktop& d) {
    return d.window.portLabel()->palette().color(QPalette::Active, QPalette::WindowText).name();
}

TEST(MainWindowPortLabel, GreyFromItsCreationThenOpenOrClosedEveryTick) {
    Desktop d;
    const QString grey = d.window.palette().color(QPalette::Disabled, QPalette::WindowText).name();
    const QString normal = d.window.palette().color(QPalette::Active, QPalette::ButtonText).name();
    ASSERT_NE(grey, normal);
    EXPECT_EQ(LabelColour(d), grey) << "before any tick";

    ASSERT_NO_FATAL_FAILURE(d.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.ticks > 0; }, 5000));
    EXPECT_EQ(d.window.portLabel()->text().toStdString(), "COM 1: CLOSE");
    EXPECT_EQ(LabelColour(d), grey);

    ASSERT_NO_FATAL_FAILURE(d.connect());
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.port.PortOpen(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return d.window.portLabel()->text() == QStringLiteral("COM 1: OPEN"); }, 5000));
    EXPECT_EQ(LabelColour(d), normal);

    // Another port abandons the connection and closes this one.
    d.core.ComPortNo(2);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return d.window.portLabel()->text() == QStringLiteral("COM 2: CLOSE"); }, 5000));
    EXPECT_EQ(LabelColour(d), grey);
}

TEST(MainWindowPlacement, FirstHeightFollowsTheScreenHeight) {
    // Window heights in pixels of 10 twips: 6600, 7200, 9000, 8500, 8500 twips.
    const int expected[] = {660, 720, 900, 850, 850};
    static_assert(std::size(expected) == testing::kTallScreens.size());
    for (std::size_t i = 0; i < testing::kTallScreens.size(); ++i) {
        const testing::TestScreen& s = testing::kTallScreens[i];
        SCOPED_TRACE(s.height);
        Desktop d;
        d.window.move(s.x + 20, 20);
        ASSERT_NE(d.window.screen(), nullptr);
        ASSERT_EQ(d.window.screen()->geometry(), QRect(s.x, 0, s.width, s.height));
        ASSERT_TRUE(d.window.Form_Load());
        EXPECT_EQ(d.window.height(), expected[i]);
        EXPECT_EQ(d.window.width(), 953);  // 9525 twips
        // Centred across, three tenths of the room left down to the top.
        EXPECT_EQ(d.window.x(), s.x + std::lround((s.width * 10.0 - 9525) / 2 / 10));
        EXPECT_EQ(d.window.y(), static_cast<int>(std::lround((s.height - expected[i]) * 0.3)));
        EXPECT_EQ(d.window.screen()->geometry().x(), s.x) << "the window stays on its screen";
    }
}

TEST(MainWindowFocus, TheButtonsAndTheDumpCloseTheTabChain) {
    Desktop d;
    std::vector<QWidget*> chain;
    for (QWidget* w = d.window.nextInFocusChain(); w != &d.window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) chain.push_back(w);
    }
    EXPECT_EQ(chain,
              (std::vector<QWidget*>{d.window.consoleList(), d.window.button(0), d.window.button(1),
                                     d.window.button(2), d.window.dispPara()}));

    // With the console on screen, Tab goes round the console and the buttons.
    ASSERT_NO_FATAL_FAILURE(d.start());
    ASSERT_NO_FATAL_FAILURE(d.connect());
    QWidget* console = d.window.consoleList();
    console->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return console->hasFocus(); }, 5000));
    const std::vector<QWidget*> expected{d.window.button(0), d.window.button(1), d.window.button(2),
                                         console};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
}

TEST(MainWindowClose, ClosingTheWindowClosesThePortAndSavesTheSettings) {
    Desktop d;
    TempDir::write(d.settingsFile(), "[OPTION]\nComPort=2\nComAutoRelease=0\n");
    d.core.LoadProfile();
    ASSERT_NO_FATAL_FAILURE(d.start());
    ASSERT_NO_FATAL_FAILURE(d.connect());
    d.timSolid.stop();
    ASSERT_TRUE(d.port.PortOpen());
    std::filesystem::remove(d.settingsFile());
    QSignalSpy unloaded(&d.window, &frmMain::unloaded);

    EXPECT_TRUE(d.window.close());
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(d.port.PortOpen());
    EXPECT_EQ(FindPrivateProfileString("OPTION", "ComPort", d.settingsFile()).value_or("-"), "2");
    EXPECT_EQ(FindPrivateProfileString("OPTION", "ComAutoRelease", d.settingsFile()).value_or("-"),
              "0");
}

}  // namespace
}  // namespace calvex
