// What the technician sees of the readings: how old they are, the sweep as a picture, the chart
// over time.
#include <gtest/gtest.h>

#include <QTest>

#include "DesktopBench.h"
#include "shell/qt/Charts.h"

namespace calvex {
namespace {

TEST(ReadingsView, TheListsTellTheirAgeAndGreyOutWhenOldUnlessLive) {
    testing::Desktop d;
    d.start();
    d.connect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.ageLabel(0)->isVisible(); }, 5000));
    EXPECT_TRUE(d.window.ageLabel(0)->text().startsWith(QStringLiteral("Read ")))
        << d.window.ageLabel(0)->text().toStdString();
    EXPECT_FALSE(d.window.monitorStale(0));
    // Nothing reads them again: after a few seconds they are doubted, and F5 is named.
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.monitorStale(1); }, 20000));
    EXPECT_TRUE(d.window.ageLabel(1)->text().contains(QStringLiteral("F5")));
    EXPECT_NE(d.window.monitorList(1)->palette().color(QPalette::Text),
              d.window.palette().color(QPalette::Active, QPalette::Text));

    // Live readings: the values are fresh again and stay so.
    d.window.liveAction()->trigger();
    EXPECT_TRUE(d.core.LiveReadings());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.window.monitorStale(1); }, 20000));
    const int ticks = d.ticks;
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.ticks > ticks + 200; }, 20000));
    EXPECT_FALSE(d.window.monitorStale(0));
    EXPECT_FALSE(d.window.monitorStale(1));
    d.window.readingsChartAction()->trigger();
    ASSERT_NE(d.window.readingsChart(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return d.window.readingsChart()->series(Reading::Temps).size() > 3; }, 10000));
    EXPECT_FALSE(d.window.readingsChart()->series(Reading::Sd).empty());
}

TEST(ReadingsView, TheSweepPanelShowsAFinishedSweep) {
    testing::Desktop d;
    d.start();
    d.connect();
    d.window.sweepAction()->trigger();
    ASSERT_NE(d.window.sweepWindow(), nullptr);
    EXPECT_TRUE(d.window.sweepWindow()->chart(0)->curve().points.empty());
    EXPECT_TRUE(d.window.sweepWindow()->chart(0)->caption().startsWith(QStringLiteral("No sweep")));

    d.core.console.EnterPushed(Index(VelkaItem::BpfT1));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !d.window.sweepWindow()->chart(0)->curve().points.empty(); }, 60000));
    const SweepCurve& curve = d.window.sweepWindow()->chart(0)->curve();
    EXPECT_EQ(curve.optimum, d.core.console.Value(Index(VelkaItem::BpfT1)));
    EXPECT_LE(curve.firstBest, curve.optimum);
    EXPECT_GE(curve.lastBest, curve.optimum);
    EXPECT_TRUE(curve.settledRaw.has_value());
    EXPECT_TRUE(d.window.sweepWindow()->chart(0)->caption().startsWith(
        QStringLiteral("optimum %1").arg(curve.optimum)));
    EXPECT_TRUE(d.window.sweepWindow()->chart(1)->curve().points.empty()) << "T2 was not swept";
    // It paints without trouble at its size.
    EXPECT_FALSE(d.window.sweepWindow()->grab().isNull());
}

}  // namespace
}  // namespace calvex
