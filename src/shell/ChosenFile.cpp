#include "shell/ChosenFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "memory/BackupFile.h"

namespace calvex {

namespace {

bool namedLikeABackup(const std::string& path) {
    const std::string ext = kBackupExtension;
    if (path.size() < ext.size()) return false;
    return std::equal(ext.begin(), ext.end(), path.end() - static_cast<std::ptrdiff_t>(ext.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

std::optional<std::string> WhyNotWriteChosenFile(const std::string& path, ChosenKind kind,
                                                 const std::string& suffix) {
    if (!namedLikeABackup(path)) return std::nullopt;
    if (kind == ChosenKind::Other) {
        return "a backup file is never written over; choose a name ending in " + suffix + ".";
    }
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        return "a backup file is never written over; choose a new name.";
    }
    return std::nullopt;
}

FileResult<> WriteChosenFile(const std::string& path, const std::string& contents, ChosenKind kind,
                             const std::string& suffix, FileAccess access) {
    if (const auto why = WhyNotWriteChosenFile(path, kind, suffix)) {
        return FileResult<>::Failed(*why);
    }
    return ReplaceFileAtomically(path, contents, access);
}

}  // namespace calvex
