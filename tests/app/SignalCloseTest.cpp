// The desktop program itself: a termination signal ends it as File > Exit does.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>

#include "ProgramRun.h"

namespace calvex {
namespace {

using testing::ProgramRun;
using testing::savedValue;
using testing::TempDir;

TEST(ProgramSignals, ATerminationSignalClosesThePortSavesTheSettingsAndExitsNormally) {
    struct Case {
        int sig;
        const char* settings;  // the file beside the executable before the start
        const char* port;      // then, after the end
        const char* release;
    } cases[] = {
        {SIGTERM, "; bench\n[PORTS]\nCOM2=/tmp/velka\n", "1", "0"},
        {SIGHUP, "[OPTION]\nComPort=3\nComAutoRelease=2\n", "3", "2"},
        {SIGINT, "[OPTION]\nComPort=11\nComAutoRelease=5\n", "1", "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(strsignal(c.sig));
        ProgramRun run;
        TempDir::write(run.settings(), c.settings);
        run.start();
        ASSERT_TRUE(run.waitUntilReady(c.sig)) << run.log();
        run.signal(c.sig);
        const auto status = run.waitForExit();
        ASSERT_TRUE(status.has_value()) << "the program did not end\n" << run.log();
        ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status) << "\n"
                                        << run.log();
        EXPECT_EQ(WEXITSTATUS(*status), 0) << run.log();

        EXPECT_EQ(savedValue(run.settings(), "OPTION", "ComPort"), c.port);
        EXPECT_EQ(savedValue(run.settings(), "OPTION", "ComAutoRelease"), c.release);
        if (std::string(c.settings).find("[PORTS]") != std::string::npos) {
            EXPECT_EQ(savedValue(run.settings(), "PORTS", "COM2"), "/tmp/velka");  // kept
        }
    }
}

}  // namespace
}  // namespace calvex
