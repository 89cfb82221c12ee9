#include "base/ProgramPlaces.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace calvex {

namespace {

std::string UserFolder(const char* xdg, const char* home, const char* underHome) {
    namespace fs = std::filesystem;
    if (xdg != nullptr && *xdg == '/') {
        return (fs::path(xdg) / kProgramFolder).lexically_normal().string();
    }
    if (home != nullptr && *home != '\0') {
        return (fs::path(home) / underHome / kProgramFolder).lexically_normal().string();
    }
    return {};
}

}  // namespace

const char* EnvironmentValue(const char* name) {
    return std::getenv(name);
}

std::string UserConfigFolder(const char* xdgConfigHome, const char* home) {
    return UserFolder(xdgConfigHome, home, ".config");
}

std::string UserDataFolder(const char* xdgDataHome, const char* home) {
    return UserFolder(xdgDataHome, home, ".local/share");
}

std::string UserStateFolder(const char* xdgStateHome, const char* home) {
    return UserFolder(xdgStateHome, home, ".local/state");
}

FileResult<std::vector<FolderFile>> RegularFilesIn(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<FolderFile> files;
    if (folder.empty()) return files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    // No folder yet is an empty one; anything else that stops the listing is told.
    if (ec == std::errc::no_such_file_or_directory) return files;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        std::error_code timeEc;
        const auto written = it->last_write_time(timeEc);
        files.push_back(
            {it->path().filename().string(),
             timeEc ? int64_t{0} : static_cast<int64_t>(written.time_since_epoch().count())});
    }
    if (ec) return FileResult<std::vector<FolderFile>>::Failed(ec.message());
    std::sort(files.begin(), files.end(),
              [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
    return files;
}

FileResult<std::vector<std::string>> RegularFileNamesIn(const std::string& folder) {
    const auto files = RegularFilesIn(folder);
    if (!files) return FileResult<std::vector<std::string>>::Failed(files.reason());
    std::vector<std::string> names;
    names.reserve(files->size());
    for (const FolderFile& f : *files)
        names.push_back(f.name);
    return names;
}

FileResult<> MakeFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return {};
    // Each missing folder from the top down, so that every one made gets the same private mode.
    fs::path made;
    for (const fs::path& part : fs::path(folder).lexically_normal()) {
        made /= part;
        if (part.empty() || fs::is_directory(made, ec)) continue;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            return FileResult<>::Failed(std::strerror(errno));
        }
    }
    if (!fs::is_directory(folder, ec)) return FileResult<>::Failed(std::strerror(ENOTDIR));
    return {};
}

}  // namespace calvex
