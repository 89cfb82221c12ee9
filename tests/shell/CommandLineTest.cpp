#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ProgramPlaces.h"
#include "shell/ProgramInfo.h"

namespace calvex {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, TakesItsOwnOptionsAndQtsAndRefusesTheRest) {
    struct Case {
        std::vector<std::string> args;
        Action action;
        const char* text;  // a part of the text; null: no text
    } cases[] = {
        {{}, Action::Run, nullptr},
        {{"-platform", "offscreen"}, Action::Run, nullptr},
        {{"--style=Fusion", "-reverse"}, Action::Run, nullptr},
        {{"--help"}, Action::Help, "Usage: calvexadj [--help] [--version]"},
        {{"--version", "--help"}, Action::Version, nullptr},
        {{"--help", "--bogus"}, Action::Refuse, "unknown option '--bogus'"},
        {{"-platform"}, Action::Refuse, "option '-platform' needs a value"},
        {{"COM1"}, Action::Refuse, "unexpected argument 'COM1'"},
        {{"-x"}, Action::Refuse, "unknown option '-x'\nUsage: calvexadj"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.args)
            joined += a + " ";
        SCOPED_TRACE(joined);
        const CommandLine got = ParseCommandLine(c.args);
        EXPECT_EQ(got.action, c.action);
        if (c.text != nullptr) {
            EXPECT_NE(got.text.find(c.text), std::string::npos) << got.text;
        }
    }
}

TEST(CommandLine, TheVersionNamesTheBuildQtAndTheLicence) {
    const std::string text = VersionText("6.4.2");
    EXPECT_EQ(text.rfind(ProgramVersionLine() + "\nQt 6.4.2\n", 0), 0u) << text;
    EXPECT_NE(text.find("GPL-3.0-or-later"), std::string::npos);
    EXPECT_FALSE(ProgramBuild().empty());
}

TEST(CommandLine, AWindowNeedsAPlatformOrADisplay) {
    EXPECT_FALSE(DisplayNamed(nullptr, nullptr, nullptr));
    EXPECT_FALSE(DisplayNamed("", "", ""));
    EXPECT_TRUE(DisplayNamed("offscreen", nullptr, nullptr));
    EXPECT_TRUE(DisplayNamed(nullptr, ":0", nullptr));
    EXPECT_TRUE(DisplayNamed(nullptr, nullptr, "wayland-0"));
}

TEST(ProgramPlaces, TheStateFolderFollowsTheXdgRules) {
    EXPECT_EQ(UserStateFolder("/x/state", "/home/t"), "/x/state/calvexadj");
    EXPECT_EQ(UserStateFolder("relative", "/home/t"), "/home/t/.local/state/calvexadj");
    EXPECT_EQ(UserStateFolder(nullptr, "/home/t"), "/home/t/.local/state/calvexadj");
    EXPECT_EQ(UserStateFolder(nullptr, nullptr), "");
}

}  // namespace
}  // namespace calvex
