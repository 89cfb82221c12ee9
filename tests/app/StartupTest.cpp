// The desktop program's start-up refusals: a second copy, a missing Const.ini. Each shows its
// message (also written to the standard error output) and ends with status 1 once the message
// is closed; here a termination signal closes it, as a service manager's would.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "ProgramRun.h"

namespace calvex {
namespace {

using testing::ProgramRun;
using testing::savedValue;
using testing::TempDir;

TEST(ProgramStart, ASecondCopyIsRefusedWhileTheFirstKeepsRunning) {
    ProgramRun first;
    first.start();
    ASSERT_TRUE(first.waitUntilLocked()) << first.log();

    ProgramRun second(ProgramRun::Options{true, first.runDir()});
    second.start();
    ASSERT_TRUE(
        second.waitForOutput("Cannot execute Calvex ADJ Rev.1.0 repeatedly.\n"
                             "Calvex ADJ Rev.1.0 is already executing."))
        << second.log();
    second.signal(SIGTERM);
    const auto refused = second.waitForExit();
    ASSERT_TRUE(refused.has_value()) << "the second copy did not end\n" << second.log();
    ASSERT_TRUE(WIFEXITED(*refused)) << second.log();
    EXPECT_EQ(WEXITSTATUS(*refused), 1);
    EXPECT_FALSE(std::filesystem::exists(second.settings())) << "it ended before it began";

    EXPECT_TRUE(first.running());
    EXPECT_TRUE(first.waitUntilLocked()) << "the first copy still holds the lock";
    first.signal(SIGTERM);
    const auto ended = first.waitForExit();
    ASSERT_TRUE(ended.has_value()) << first.log();
    ASSERT_TRUE(WIFEXITED(*ended));
    EXPECT_EQ(WEXITSTATUS(*ended), 0) << first.log();
}

TEST(ProgramStart, WithoutConstIniTheMessageShowsTheSettingsAreSavedAndNoWindowStays) {
    struct Case {
        const char* settings;  // beside the executable before the start; null: none
        const char* port;
        const char* release;
    } cases[] = {
        {nullptr, "1", "0"},
        {"; bench 2\n[OPTION]\nComPort=3\nComAutoRelease=2\n", "3", "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings != nullptr ? c.settings : "no settings file");
        ProgramRun run(ProgramRun::Options{false, ""});
        if (c.settings != nullptr) TempDir::write(run.settings(), c.settings);
        run.start();
        ASSERT_TRUE(run.waitForOutput("Cannot read 'Const.ini'.")) << run.log();
        // The detail, with the message, names where the file was looked for.
        EXPECT_NE(run.log().find("Cannot read 'Const.ini'.\nNot found at "), std::string::npos)
            << run.log();
        run.signal(SIGTERM);
        // The message closed, the program ends at once with the start-up's failure: it never
        // went on to a window, which would have kept it running (and ended it with status 0).
        const auto status = run.waitForExit();
        ASSERT_TRUE(status.has_value()) << "the program did not end\n" << run.log();
        ASSERT_TRUE(WIFEXITED(*status)) << run.log();
        EXPECT_EQ(WEXITSTATUS(*status), 1) << run.log();
        EXPECT_EQ(savedValue(run.settings(), "OPTION", "ComPort"), c.port);
        EXPECT_EQ(savedValue(run.settings(), "OPTION", "ComAutoRelease"), c.release);
        if (c.settings != nullptr) {
            EXPECT_EQ(TempDir::read(run.settings()).rfind("; bench 2\n", 0), 0u);
        }
    }
}

}  // namespace
}  // namespace calvex
