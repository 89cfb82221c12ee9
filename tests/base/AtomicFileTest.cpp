// The one writer of every file the program writes: whole or not at all, and private where the
// file holds a customer's data.
#include "base/AtomicFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>

#include "base/FileSizeLimit.h"
#include "base/TempDir.h"

namespace calvex {
namespace {

namespace fs = std::filesystem;
using testing::FileSizeLimit;
using testing::TempDir;

struct AccessCase {
    const char* name;
    FileAccess access;
    std::optional<mode_t> before;  // the old file's mode; none: there is no old file
    mode_t after;
};

class FileAccessMode : public ::testing::TestWithParam<AccessCase> {};

TEST_P(FileAccessMode, IsTheOldFilesOrTheUsersAlone) {
    const AccessCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("f.txt");
    if (c.before) {
        TempDir::write(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), *c.before), 0);
    }
    const mode_t mask = ::umask(022);
    const auto saved = ReplaceFileAtomically(path, "new", c.access);
    ::umask(mask);
    ASSERT_TRUE(saved) << saved.reason();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.after);
    EXPECT_EQ(TempDir::read(path), "new");
}

INSTANTIATE_TEST_SUITE_P(
    Shell, FileAccessMode,
    ::testing::Values(AccessCase{"UsualNew", FileAccess::Usual, std::nullopt, 0644},
                      AccessCase{"UsualKeepsTheOldMode", FileAccess::Usual, 0640, 0640},
                      AccessCase{"PrivateNew", FileAccess::Private, std::nullopt, 0600},
                      AccessCase{"PrivateOverAnOpenFile", FileAccess::Private, 0644, 0600}),
    [](const auto& p) { return std::string(p.param.name); });

// A save cut off in the middle (the disk full) leaves the earlier file whole and no temporary
// file behind, and says why.
TEST(AtomicFile, ACutSaveLeavesTheEarlierFileWhole) {
    TempDir dir;
    const std::string path = dir.file("report.csv");
    TempDir::write(path, "the earlier report");
    std::string reason;
    {
        const FileSizeLimit limit(64);
        const auto saved = ReplaceFileAtomically(path, std::string(4096, 'x'));
        EXPECT_FALSE(saved);
        reason = saved.reason();
    }
    EXPECT_EQ(reason, "File too large");
    EXPECT_EQ(TempDir::read(path), "the earlier report");
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace calvex
