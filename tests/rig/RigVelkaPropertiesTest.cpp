#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "rig/RigVelkaFixture.h"

namespace calvex {
namespace {

namespace fs = std::filesystem;
using testing::RigVelkaFixture;

// Runs each case in an empty directory of its own, which becomes the current one, with the
// user's config folder ($XDG_CONFIG_HOME) inside it as well: the program looks for the constants
// file in the current directory, then in that folder.
class ConstFile : public RigVelkaFixture {
  protected:
    void SetUp() override {
        previous_ = fs::current_path();
        dir_ =
            fs::temp_directory_path() / ("calvex-const-" + std::to_string(std::random_device{}()) +
                                         "-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_ / "cfg" / "calvexadj");
        fs::current_path(dir_);
        if (const char* v = std::getenv("XDG_CONFIG_HOME")) previousConfig_ = v;
        ::setenv("XDG_CONFIG_HOME", (dir_ / "cfg").c_str(), 1);
    }
    void TearDown() override {
        if (previousConfig_) {
            ::setenv("XDG_CONFIG_HOME", previousConfig_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    static void write(const std::string& content, const fs::path& path = "Const.ini") {
        std::ofstream out(path, std::ios::binary);
        out << content;
    }
    fs::path userFile() const { return dir_ / "cfg" / "calvexadj" / "Const.ini"; }
    // The file of the current directory, as the system names that directory.
    static std::string Here() { return (fs::current_path() / "Const.ini").string(); }
    static std::string constants(int count, const std::string& eol = "\n") {
        std::string text;
        for (int k = 0; k < count; ++k)
            text += std::to_string(k) + ".25" + eol;
        return text;
    }

    fs::path previous_;
    fs::path dir_;
    std::optional<std::string> previousConfig_;
};

TEST(ConstFileCandidates, CurrentDirectoryThenTheUsersConfigFolder) {
    struct Case {
        const char* cwd;
        const char* xdgConfigHome;
        const char* home;
        std::vector<std::string> paths;
    } cases[] = {
        {"/w", "/cfg", "/home/u", {"/w/Const.ini", "/cfg/calvexadj/Const.ini"}},
        {"/w", "/cfg/", "/home/u", {"/w/Const.ini", "/cfg/calvexadj/Const.ini"}},
        {"/w/", nullptr, "/home/u", {"/w/Const.ini", "/home/u/.config/calvexadj/Const.ini"}},
        // Only an absolute XDG_CONFIG_HOME counts.
        {"/w", "", "/home/u", {"/w/Const.ini", "/home/u/.config/calvexadj/Const.ini"}},
        {"/w", "cfg", "/home/u", {"/w/Const.ini", "/home/u/.config/calvexadj/Const.ini"}},
        {"/w", "/cfg", nullptr, {"/w/Const.ini", "/cfg/calvexadj/Const.ini"}},
        // No config folder without a home.
        {"/w", nullptr, nullptr, {"/w/Const.ini"}},
        {"/w", "", "", {"/w/Const.ini"}},
        // Started from the config folder itself: one place.
        {"/home/u/.config/calvexadj", nullptr, "/home/u", {"/home/u/.config/calvexadj/Const.ini"}},
        {"/cfg/calvexadj/", "/cfg", "/home/u", {"/cfg/calvexadj/Const.ini"}},
        {"/", nullptr, "/", {"/Const.ini", "/.config/calvexadj/Const.ini"}},
        // An unknown current directory: the bare name, as opened relative to it.
        {"", "/cfg", "/home/u", {"Const.ini", "/cfg/calvexadj/Const.ini"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConstFileCandidates(c.cwd, c.xdgConfigHome, c.home), c.paths)
            << "cwd " << c.cwd << ", XDG_CONFIG_HOME " << (c.xdgConfigHome ? c.xdgConfigHome : "-")
            << ", HOME " << (c.home ? c.home : "-");
    }
}

TEST_F(ConstFile, MissingFileIsRefusedNamingEveryPlaceLookedAt) {
    EXPECT_FALSE(rig.RigVelkaProp_ReadParametersFromExtFile());
    const auto cwd = fs::current_path();  // as the system names it
    EXPECT_EQ(rig.ConstFileProblem(), "Not found at " + (cwd / "Const.ini").string() + " or at " +
                                          (cwd / "cfg" / "calvexadj" / "Const.ini").string() + ".");
    EXPECT_EQ(rig.RigVelkaProp_ConstFileInUse(),
              "not found; looked for at " + (cwd / "Const.ini").string() + " " +
                  (cwd / "cfg" / "calvexadj" / "Const.ini").string());
}

TEST_F(ConstFile, TheCurrentDirectoryComesFirstAndAFileFoundEndsTheSearch) {
    const std::string good = "Calvex ADJ Rev.1.0\n" + constants(21);
    const std::string beyond = "Calvex ADJ Rev.1.0\n" + constants(5) + "3e38\n" + constants(15);
    const std::string badTitle = "Calvex ADJ Rev.9\n" + constants(21);
    struct Case {
        const char* name;
        std::optional<std::string> here;  // in the current directory
        std::optional<std::string> user;  // in the user's config folder
        bool accepted;
        float first;  // the first constant, when accepted
        std::string problem;
    } cases[] = {
        {"only the user's", std::nullopt, "Calvex ADJ Rev.1.0\n7.5\n" + constants(20), true, 7.5f,
         ""},
        {"both", good, "Calvex ADJ Rev.1.0\n7.5\n" + constants(20), true, 0.25f, ""},
        {"only here", good, std::nullopt, true, 0.25f, ""},
        {"user's refused", std::nullopt, beyond, false, 0,
         userFile().string() +
             " line 7: 3e38 is beyond the 1000 ppm the oscillator table can carry."},
        {"here refused, user's good", beyond, good, false, 0,
         Here() + " line 7: 3e38 is beyond the 1000 ppm the oscillator table can carry."},
        {"here with a wrong title, user's good", badTitle, good, false, 0,
         Here() + " line 1: \"Calvex ADJ Rev.9\" is not \"Calvex ADJ Rev.1.0\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove("Const.ini");
        fs::remove(userFile());
        if (c.here) write(*c.here);
        if (c.user) write(*c.user, userFile());
        ASSERT_EQ(rig.RigVelkaProp_ReadParametersFromExtFile(), c.accepted);
        if (c.accepted) {
            EXPECT_FLOAT_EQ(Access::txfCoef(rig, 0), c.first);
        }
        EXPECT_EQ(rig.ConstFileProblem(), c.problem);
        // What the diagnostics and the report name is the very file read.
        EXPECT_EQ(rig.RigVelkaProp_ConstFileInUse(), c.here ? Here() : userFile().string());
    }
}

TEST_F(ConstFile, TitleAndLineCount) {
    const std::string wrongCase =
        Here() + " line 1: \"CALVEX ADJ Rev.1.0\" is not \"Calvex ADJ Rev.1.0\".";
    struct Case {
        std::string content;
        std::string problem;  // empty: accepted
    } cases[] = {
        {"Calvex ADJ Rev.1.0\n" + constants(21), ""},
        {"   Calvex ADJ Rev.1.0  \n" + constants(21), ""},              // trimmed
        {"Calvex ADJ Rev.1.0\r\n" + constants(21, "\r\n"), ""},         // CR LF lines
        {"Calvex ADJ Rev.1.0\n" + constants(20) + "20.25", ""},         // no final line end
        {"Calvex ADJ Rev.1.0\n" + constants(21) + "junk\nmore\n", ""},  // the rest is not read
        {"CALVEX ADJ Rev.1.0\n" + constants(21), wrongCase},            // letter case counts
        {"Calvex ADJ Rev.1.1\n" + constants(21),
         Here() + " line 1: \"Calvex ADJ Rev.1.1\" is not \"Calvex ADJ Rev.1.0\"."},
        {"Calvex ADJ Rev.1.0\n" + constants(20),
         Here() + " ends after line 21: it needs 22 lines, the title and 21 constants."},
        {"Calvex ADJ Rev.1.0\n",
         Here() + " ends after line 1: it needs 22 lines, the title and 21 constants."},
        {"", Here() + " is empty."},
    };
    for (const auto& c : cases) {
        write(c.content);
        EXPECT_EQ(rig.RigVelkaProp_ReadParametersFromExtFile(), c.problem.empty()) << c.content;
        EXPECT_EQ(rig.ConstFileProblem(), c.problem) << c.content;
    }
}

TEST_F(ConstFile, NumbersTakeTheirLeadingNumericPart) {
    const std::vector<std::pair<std::string, float>> lines = {
        {"1.5e-3", 0.0015f}, {"abc", 0.0f}, {"-3.25", -3.25f}, {"  7.5 ppm", 7.5f}, {"+2", 2.0f},
        {".5", 0.5f},        {"", 0.0f},    {"nan", 0.0f},     {"inf", 0.0f},       {"12,5", 12.0f},
        {"-x", 0.0f},        {"4e", 4.0f},  {"0x10", 0.0f},
    };
    std::string content = "Calvex ADJ Rev.1.0\n";
    for (const auto& [text, value] : lines)
        content += text + "\n";
    for (std::size_t k = lines.size(); k < 21; ++k)
        content += "1\n";
    write(content);
    ASSERT_TRUE(rig.RigVelkaProp_ReadParametersFromExtFile());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        EXPECT_FLOAT_EQ(Access::txfCoef(rig, k), lines[k].second) << lines[k].first;
    }
    EXPECT_FLOAT_EQ(Access::txfCoef(rig, 20), 1.0f);
}

TEST_F(ConstFile, ValuesReadBeforeAShortEndStay) {
    write("Calvex ADJ Rev.1.0\n3.5\n-1\n");
    EXPECT_FALSE(rig.RigVelkaProp_ReadParametersFromExtFile());
    EXPECT_FLOAT_EQ(Access::txfCoef(rig, 0), 3.5f);
    EXPECT_FLOAT_EQ(Access::txfCoef(rig, 1), -1.0f);
}

TEST_F(ConstFile, ConstantsTheTableCannotCarryAreRefusedWithTheirLine) {
    struct Case {
        int line;  // of the file, the title being line 1
        std::string value;
        bool accepted;
    } cases[] = {
        {2, "1e39", false}, {7, "3e38", false},  {22, "-1000.5", false}, {2, "1001", false},
        {12, "1000", true}, {22, "-1000", true}, {5, "999.9", true},     {9, "-3e38 ppm", false},
    };
    for (const auto& c : cases) {
        std::string text = "Calvex ADJ Rev.1.0\n";
        for (int line = 2; line <= 22; ++line)
            text += (line == c.line ? c.value : "1.5") + "\n";
        write(text);
        EXPECT_EQ(rig.RigVelkaProp_ReadParametersFromExtFile(), c.accepted) << c.value;
        if (c.accepted) {
            EXPECT_EQ(rig.ConstFileProblem(), "");
        } else {
            EXPECT_EQ(rig.ConstFileProblem(),
                      Here() + " line " + std::to_string(c.line) + ": " + c.value +
                          " is beyond the 1000 ppm the oscillator table can carry.");
        }
    }
}

TEST_F(ConstFile, SampleFileOfTheRepositoryIsAccepted) {
    const auto sample = fs::path(__FILE__).parent_path().parent_path().parent_path() / "Const.ini";
    fs::copy_file(sample, dir_ / "Const.ini");
    ASSERT_TRUE(rig.RigVelkaProp_ReadParametersFromExtFile());
    for (std::size_t k = 0; k <= 20; ++k) {
        EXPECT_GT(Access::txfCoef(rig, k), -30.0f) << k;
        EXPECT_LT(Access::txfCoef(rig, k), 30.0f) << k;
    }
}

TEST(RigVelkaSubName, FirstFourCharactersUpToReleaseOne) {
    const std::pair<const char*, bool> cases[] = {
        {"0100", true},  {"0099", true},  {"01", true}, {"", true},         {"01005", true},
        {"0101", false}, {"0200", false}, {"A", false}, {"0100\xff", true}, {"\xff", false},
    };
    for (const auto& [name, legal] : cases) {
        EXPECT_EQ(clsIndOp_RigVelka::RigOpFunc_CheckSubNameLegal(name), legal) << name;
    }
}

using RigProps = RigVelkaFixture;

TEST_F(RigProps, StatePropertiesFollowTheTaskState) {
    for (int16_t state = 0; state <= 20; ++state) {
        Access::opState(rig) = state;
        const bool edit = state >= 3 && state <= 19;
        EXPECT_EQ(rig.RigVelkaProp_EditEnabled(), edit) << state;
        EXPECT_EQ(rig.RigVelkaProp_DispPara(), state == 20) << state;
        EXPECT_EQ(rig.RigVelkaProp_Shielding(), state <= 2) << state;
    }
}

TEST_F(RigProps, WaitRequiredIsStored) {
    rig.WaitE8Required(350);
    EXPECT_EQ(Access::waitE8Ms(rig), 350);
}

TEST_F(RigProps, PortChangeResetsOnlyWhenTheNumberChanges) {
    const int16_t powerL1 = Index(VelkaItem::PowerL1);
    console.Value(powerL1, 77);
    rig.RigOpFunc_SetComPortNo(1);
    EXPECT_EQ(seq.resets, std::vector<int16_t>{1});
    EXPECT_EQ(console.Value(powerL1), 77);

    Access::opState(rig) = 5;
    rig.RigOpFunc_SetComPortNo(3);
    EXPECT_EQ(seq.resets, (std::vector<int16_t>{1, 3}));
    EXPECT_EQ(console.Value(powerL1), 0);  // console rebuilt
    EXPECT_EQ(console.ListCount(), 14);
    EXPECT_EQ(Access::opState(rig), 0);
}

TEST_F(RigProps, ButtonDispatch) {
    struct Case {
        int16_t stateBefore;
        bool dispRequestBefore;
        int16_t button;
        int16_t stateAfter;
        bool reload;
        bool dispRequest;
        std::size_t resets;
    } cases[] = {
        {0, false, 0, 1, false, false, 2},   // Connect from idle
        {7, false, 0, 1, false, false, 2},   // Connect while editing starts again
        {0, false, 1, 0, false, false, 1},   // Reload while not connected: nothing
        {5, false, 1, 5, true, false, 1},    // Reload while editing
        {20, true, 1, 20, false, true, 1},   // Reload while the dump is shown: nothing
        {5, false, 2, 5, false, true, 1},    // Disp para while editing
        {20, true, 2, 20, false, false, 1},  // Disp para again returns
        {1, false, 2, 1, false, false, 1},   // Disp para while connecting: nothing
        {5, false, 3, 5, false, false, 1},   // no such button
        {5, false, -1, 5, false, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "state " << c.stateBefore << " button " << c.button);
        seq.resets.assign(1, 1);
        Access::opState(rig) = c.stateBefore;
        Access::reloadRequest(rig) = false;
        Access::dispParaRequest(rig) = c.dispRequestBefore;
        Access::procStep(rig) = 9;
        console.EnterPushed(Index(VelkaItem::BpfT1));
        rig.RigOpFunc_ClickCmd00(c.button);
        EXPECT_EQ(Access::opState(rig), c.stateAfter);
        EXPECT_EQ(Access::reloadRequest(rig), c.reload);
        EXPECT_EQ(Access::dispParaRequest(rig), c.dispRequest);
        EXPECT_EQ(seq.resets.size(), c.resets);
        // Every click ends a running procedure and clears the pending Enter.
        EXPECT_EQ(Access::procStep(rig), 0);
        EXPECT_FALSE(console.flgEnterOn(Index(VelkaItem::BpfT1)));
    }
}

}  // namespace
}  // namespace calvex
