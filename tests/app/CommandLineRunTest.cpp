// The command line as a shell sees it: help, the version and a wrong option need no display
// and open no window; with no display the program says so in one line.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ProgramRun.h"

namespace calvex {
namespace {

using testing::ProgramRun;

struct Expected {
    int status;
    std::string standardOutput;  // a part of it; empty: nothing at all
    std::string standardError;   // likewise
};

Expected RunWithoutDisplay(const std::vector<std::string>& args) {
    ProgramRun run;
    run.start(args, ProgramRun::Display::None);
    const auto status = run.waitForExit();
    EXPECT_TRUE(status.has_value()) << "it did not end\n" << run.log();
    if (!status || !WIFEXITED(*status)) return {-1, run.standardOutput(), run.standardError()};
    return {WEXITSTATUS(*status), run.standardOutput(), run.standardError()};
}

TEST(ProgramCommandLine, AnswersWithoutADisplayAndRefusesWhatItDoesNotKnow) {
    struct Case {
        std::vector<std::string> args;
        Expected expected;
    } cases[] = {
        {{"--help"}, {0, "Usage: calvexadj [--help] [--version]\n", ""}},
        {{"-h"}, {0, "  -v, --version", ""}},
        {{"--version"}, {0, "Calvex ADJ 1.0 (build ", ""}},
        {{"--version"}, {0, "Licence: GPL-3.0-or-later", ""}},
        {{"--bogus"},
         {2, "", "calvexadj: unknown option '--bogus'\nUsage: calvexadj [--help] [--version]\n"}},
        {{"image.vbk"}, {2, "", "unexpected argument 'image.vbk'"}},
        {{}, {1, "", "calvexadj: no display to show the window on"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("no arguments") : c.args.front());
        const Expected got = RunWithoutDisplay(c.args);
        EXPECT_EQ(got.status, c.expected.status);
        if (c.expected.standardOutput.empty()) {
            EXPECT_EQ(got.standardOutput, "");
        } else {
            EXPECT_NE(got.standardOutput.find(c.expected.standardOutput), std::string::npos)
                << got.standardOutput;
        }
        if (c.expected.standardError.empty()) {
            EXPECT_EQ(got.standardError, "");
        } else {
            EXPECT_NE(got.standardError.find(c.expected.standardError), std::string::npos)
                << got.standardError;
            // One line, or the refusal with its usage line: never Qt's page on plugins.
            EXPECT_LE(std::count(got.standardError.begin(), got.standardError.end(), '\n'), 2);
        }
    }
}

}  // namespace
}  // namespace calvex
