// The backups folder on a real disk, in a temporary folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/TempDir.h"
#include "memory/BackupKeeper.h"
#include "memory/FileBackupStore.h"

namespace calvex {
namespace {

using testing::TempDir;

TEST(FileBackupStore, WritesInOneStepIntoAFolderItCreates) {
    TempDir dir;
    const std::string folder = dir.path() + "/data/calvexadj/backups";
    FileBackupStore store(folder);
    ASSERT_TRUE(store.list()) << "no folder yet is an empty one";
    EXPECT_TRUE(store.list()->empty());

    const std::string contents("binary\0\xFF\n", 9);
    for (const auto& [name, text] : {std::pair<std::string, std::string>{"a.vbk", contents},
                                     {"b.vbk", "second"},
                                     {"a.vbk", "replaced"}}) {
        const auto written = store.write(name, text);
        ASSERT_TRUE(written) << written.reason();
    }
    // Only the files themselves: no temporary file is left behind.
    EXPECT_EQ(*store.list(), (std::vector<std::string>{"a.vbk", "b.vbk"}));
    EXPECT_EQ(TempDir::read(folder + "/a.vbk"), "replaced");
    EXPECT_EQ(*store.read("b.vbk", 100), "second");
    EXPECT_EQ(*store.read("b.vbk", 3), "seco") << "at most one byte past the limit";
    const auto missing = store.read("c.vbk", 100);
    EXPECT_FALSE(missing.ok());
    EXPECT_FALSE(missing.reason().empty());

    std::filesystem::create_directory(folder + "/sub");
    EXPECT_EQ(store.list()->size(), 2u) << "folders are not files";
    EXPECT_TRUE(store.remove("a.vbk"));
    EXPECT_EQ(*store.list(), std::vector<std::string>{"b.vbk"});
}

namespace fs = std::filesystem;

fs::perms ModeOf(const std::string& path) {
    return fs::status(path).permissions() & fs::perms::all;
}

// A customer's channel plan and serial: every folder the store makes and every backup are the
// user's alone; a folder that was there already keeps its own mode.
TEST(FileBackupStore, FoldersItMakesAndItsFilesAreTheUsersAlone) {
    TempDir dir;
    fs::create_directory(dir.file("data"));
    fs::permissions(dir.file("data"), fs::perms::owner_all | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read |
                                          fs::perms::others_exec);
    const std::string folder = dir.file("data") + "/calvexadj/backups";
    FileBackupStore store(folder);
    ASSERT_TRUE(store.write("a.vbk", "x"));
    EXPECT_EQ(ModeOf(folder), fs::perms::owner_all);
    EXPECT_EQ(ModeOf(dir.file("data") + "/calvexadj"), fs::perms::owner_all);
    EXPECT_EQ(ModeOf(folder + "/a.vbk"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ModeOf(dir.file("data")), fs::perms::owner_all | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read |
                                            fs::perms::others_exec)
        << "a folder that was there is left as it is";

    // A file someone opened to others is private again once the store writes it.
    fs::permissions(folder + "/a.vbk", fs::perms::others_read, fs::perm_options::add);
    ASSERT_TRUE(store.write("a.vbk", "y"));
    EXPECT_EQ(ModeOf(folder + "/a.vbk"), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(FileBackupStore, AFolderThatCannotBeMadeIsAReason) {
    TempDir dir;
    TempDir::write(dir.file("plain"), "a file where the folder should be");
    FileBackupStore store(dir.file("plain") + "/backups");
    const auto blocked = store.write("a.vbk", "x");
    EXPECT_FALSE(blocked);
    EXPECT_FALSE(blocked.reason().empty());
    // Not a folder yet to be made: a folder that cannot be listed, never an empty one.
    const auto listed = store.list();
    EXPECT_FALSE(listed);
    EXPECT_EQ(listed.reason(), "Not a directory");

    FileBackupStore nowhere("");
    const auto homeless = nowhere.write("a.vbk", "x");
    EXPECT_FALSE(homeless);
    EXPECT_EQ(homeless.reason(), "neither XDG_DATA_HOME nor HOME names a folder for it");
}

TEST(FileBackupStore, KeeperSavesThroughItAndReadsItBack) {
    TempDir dir;
    FileBackupStore store(dir.path() + "/backups");
    BackupKeeper keeper;
    keeper.UseStore(store);
    std::string answer = std::string("\xEF\xEE\xE1\x26\x01\x01\x00\x2B", 8) + "20417735";
    answer.resize(50, '\0');
    const std::string image(kBackupImageSize, '\xA5');
    const auto saved = keeper.SaveAfterRead(answer, image);
    ASSERT_EQ(saved.outcome, BackupKeeper::Saved::New) << saved.reason;
    const BackupLoad load = keeper.Load(saved.name);
    ASSERT_TRUE(load.usable()) << load.reason;
    EXPECT_EQ(load.record->image, image);
    EXPECT_EQ(keeper.SaveAfterRead(answer, image).outcome, BackupKeeper::Saved::Unchanged);
}

struct FolderCase {
    const char* name;
    const char* xdg;
    const char* home;
    const char* folder;
};

class BackupFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(BackupFolder, FollowsTheDataHome) {
    const FolderCase& c = GetParam();
    EXPECT_EQ(DefaultBackupFolder(c.xdg, c.home), c.folder);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, BackupFolder,
    ::testing::Values(
        FolderCase{"DataHome", "/srv/data", "/home/tech", "/srv/data/calvexadj/backups"},
        FolderCase{"DataHomeWithSlash", "/srv/data/", "/home/tech", "/srv/data/calvexadj/backups"},
        FolderCase{"NoDataHome", nullptr, "/home/tech",
                   "/home/tech/.local/share/calvexadj/backups"},
        FolderCase{"RelativeDataHome", "data", "/home/tech",
                   "/home/tech/.local/share/calvexadj/backups"},
        FolderCase{"EmptyDataHome", "", "/home/tech", "/home/tech/.local/share/calvexadj/backups"},
        FolderCase{"Nowhere", nullptr, nullptr, ""}, FolderCase{"EmptyHome", nullptr, "", ""}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace calvex
