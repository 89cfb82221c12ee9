// The window on laptop screens at the usual scales: its first place fits the screen, and at that
// size and at the least size allowed no control covers another, each lies inside the window and
// the console shows every line.
#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <functional>
#include <vector>

#include "DesktopBench.h"
#include "TestScreens.h"

namespace calvex {
namespace {

// The visible controls of the window that must not cover one another, in window coordinates.
std::vector<std::pair<std::string, QRect>> Controls(frmMain& w) {
    std::vector<std::pair<std::string, QRect>> out;
    const auto add = [&](const std::string& name, QWidget* c) {
        if (c->isVisible()) out.emplace_back(name, QRect(c->mapTo(&w, QPoint(0, 0)), c->size()));
    };
    add("port label", w.portLabel());
    for (int i = 0; i < 3; ++i)
        add("button " + std::to_string(i), w.button(i));
    add("monitor 0", w.monitorList(0));
    add("monitor 1", w.monitorList(1));
    add("console", w.consoleList());
    return out;
}

void ExpectNothingCovered(frmMain& w) {
    const auto controls = Controls(w);
    ASSERT_GE(controls.size(), 7u);
    const QRect inside = w.rect();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(inside.contains(controls[i].second)) << controls[i].first;
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i].second.intersects(controls[j].second))
                << controls[i].first << " and " << controls[j].first;
        }
    }
    QListWidget* console = w.consoleList();
    ASSERT_GT(console->count(), 0);
    EXPECT_GE(console->viewport()->height(), console->count() * console->sizeHintForRow(0))
        << "every line of the console is shown";
}

TEST(WindowFit, TheFirstPlaceFitsSmallScaledScreensAndTheLeastSizeStillShowsEverything) {
    for (const testing::ScaledScreen& s : testing::kSmallScreens) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height) + " at " +
                     std::to_string(s.dpi) + " dpi");
        testing::Desktop d;
        d.window.move(s.x + 20, 20);
        ASSERT_EQ(d.window.screen()->geometry(), QRect(s.x, 0, s.width, s.height));
        ASSERT_NO_FATAL_FAILURE(d.start());
        ASSERT_NO_FATAL_FAILURE(d.connect());
        const QRect room = d.window.screen()->availableGeometry();
        EXPECT_TRUE(room.contains(d.window.frameGeometry()))
            << d.window.frameGeometry().width() << "x" << d.window.frameGeometry().height();
        ExpectNothingCovered(d.window);

        d.window.resize(d.window.minimumSize());
        QTest::qWait(20);
        EXPECT_TRUE(room.contains(QRect(room.topLeft(), d.window.minimumSize())))
            << "the least size fits the screen too";
        ExpectNothingCovered(d.window);
        // Smaller is refused.
        d.window.resize(200, 150);
        EXPECT_EQ(d.window.size(), d.window.minimumSize());
    }
}

// The windows the menus open lie on the screen whole, wherever the main window stands on it.
TEST(WindowFit, TheWindowsTheMenusOpenLieOnTheScreen) {
    const testing::ScaledScreen& s = testing::kSmallScreens.front();
    testing::Desktop d;
    d.window.move(s.x + 20, 20);
    ASSERT_NO_FATAL_FAILURE(d.start());
    ASSERT_NO_FATAL_FAILURE(d.connect());
    const QRect room = d.window.screen()->availableGeometry();
    // The main window in the screen's lower right corner, as far as it goes.
    d.window.move(room.right() - d.window.frameGeometry().width() / 3,
                  room.bottom() - d.window.frameGeometry().height() / 3);
    QTest::qWait(20);
    struct Opened {
        const char* name;
        QAction* action;
        std::function<QWidget*()> window;
    };
    const std::vector<Opened> opened = {
        {"sweep curves", d.window.sweepAction(), [&] { return d.window.sweepWindow(); }},
        {"readings chart", d.window.readingsChartAction(),
         [&] { return d.window.readingsChart(); }},
        {"service report", d.window.reportAction(), [&] { return d.window.reportWindow(); }},
        {"backups", d.window.compareAction(), [&] { return d.window.backupsDialog(); }},
        {"user guide", d.window.guideAction(), [&] { return d.window.guideWindow(); }},
    };
    for (const Opened& o : opened) {
        o.action->trigger();
        QWidget* w = o.window();
        ASSERT_NE(w, nullptr) << o.name;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w)) << o.name;
        QTest::qWait(20);
        EXPECT_TRUE(room.contains(w->frameGeometry()))
            << o.name << " at " << w->frameGeometry().x() << "," << w->frameGeometry().y() << " "
            << w->frameGeometry().width() << "x" << w->frameGeometry().height();
        w->close();
    }
}

}  // namespace
}  // namespace calvex
