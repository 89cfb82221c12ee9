// A file the technician names in a save dialog: never written over a backup file.
#include "shell/ChosenFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "base/TempDir.h"

namespace calvex {
namespace {

using testing::TempDir;

struct ChosenCase {
    const char* name;
    const char* file;
    ChosenKind kind;
    const char* there;  // the file's earlier contents; null: there is none
    const char* why;    // empty: written
};

class ChosenFile : public ::testing::TestWithParam<ChosenCase> {};

TEST_P(ChosenFile, NeverTakesTheNameOfABackup) {
    const ChosenCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file(c.file);
    if (c.there != nullptr) TempDir::write(path, c.there);
    const auto saved = WriteChosenFile(path, "new", c.kind, ".csv");
    EXPECT_EQ(saved.reason(), c.why);
    EXPECT_EQ(saved.ok(), std::string(c.why).empty());
    if (saved) {
        EXPECT_EQ(TempDir::read(path), "new");
    } else if (c.there != nullptr) {
        EXPECT_EQ(TempDir::read(path), c.there) << "the backup is left as it was";
    }
}

constexpr const char* kNotOther =
    "a backup file is never written over; choose a name ending in .csv.";
constexpr const char* kNotOver = "a backup file is never written over; choose a new name.";

INSTANTIATE_TEST_SUITE_P(
    Shell, ChosenFile,
    ::testing::Values(
        ChosenCase{"Report", "report.csv", ChosenKind::Other, nullptr, ""},
        ChosenCase{"ReportOverAnEarlierOne", "report.csv", ChosenKind::Other, "old", ""},
        ChosenCase{"ReportNamedLikeABackup", "report.vbk", ChosenKind::Other, nullptr, kNotOther},
        ChosenCase{"ReportOverABackup", "a.VBK", ChosenKind::Other, "backup", kNotOther},
        ChosenCase{"ImageAsANewBackup", "bench.vbk", ChosenKind::Backup, nullptr, ""},
        ChosenCase{"ImageOverABackup", "bench.vbk", ChosenKind::Backup, "backup", kNotOver},
        ChosenCase{"ImageOverABackupInCapitals", "bench.Vbk", ChosenKind::Backup, "backup",
                   kNotOver},
        ChosenCase{"ImageOverAnotherFile", "bench.bak", ChosenKind::Backup, "old", ""}),
    [](const auto& p) { return std::string(p.param.name); });

// A link named like a backup is one too: the program's image does not take its place.
TEST(ChosenFileLink, ALinkNamedLikeABackupIsNotWrittenOver) {
    TempDir dir;
    ASSERT_EQ(::symlink("nowhere", dir.file("dangling.vbk").c_str()), 0);
    const auto saved = WriteChosenFile(dir.file("dangling.vbk"), "new", ChosenKind::Backup, ".vbk");
    EXPECT_EQ(saved.reason(), kNotOver);
}

}  // namespace
}  // namespace calvex
