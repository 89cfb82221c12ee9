#include "shell/qt/SingleCopy.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <future>

namespace calvex {
namespace {

// The knock waits for its answer, so it comes from another thread while this one runs the
// first copy's event loop.
bool KnockFromAnotherThread(const SingleCopy& second) {
    auto knock = std::async(std::launch::async, [&second] { return second.knock(5000); });
    const bool ended = QTest::qWaitFor(
        [&] { return knock.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        10000);
    return ended && knock.get();
}

TEST(SingleCopy, TheSecondCopyIsRefusedAndTheFirstHearsIt) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SingleCopy first(folder.path());
    ASSERT_TRUE(first.acquire());
    QSignalSpy knocked(&first, &SingleCopy::knocked);

    SingleCopy second(folder.path());
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(KnockFromAnotherThread(second));
    EXPECT_TRUE(knocked.count() == 1 || knocked.wait(5000));
    EXPECT_EQ(knocked.count(), 1);
}

TEST(SingleCopy, AKnockWithNobodyListeningIsNotHeard) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SingleCopy alone(folder.path());
    EXPECT_FALSE(KnockFromAnotherThread(alone));
    // A copy that crashed left its socket file: the next first copy listens again.
    {
        SingleCopy crashed(folder.path());
        ASSERT_TRUE(crashed.acquire());
    }
    SingleCopy next(folder.path());
    ASSERT_TRUE(next.acquire());
    QSignalSpy knocked(&next, &SingleCopy::knocked);
    EXPECT_TRUE(KnockFromAnotherThread(SingleCopy(folder.path())));
}

}  // namespace
}  // namespace calvex
