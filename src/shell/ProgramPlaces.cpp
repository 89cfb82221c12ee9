#include "shell/ProgramPlaces.h"

#include <algorithm>
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

std::string UserConfigFolder(const char* xdgConfigHome, const char* home) {
    return UserFolder(xdgConfigHome, home, ".config");
}

std::string UserDataFolder(const char* xdgDataHome, const char* home) {
    return UserFolder(xdgDataHome, home, ".local/share");
}

std::string UserStateFolder(const char* xdgStateHome, const char* home) {
    return UserFolder(xdgStateHome, home, ".local/state");
}

std::vector<std::string> RegularFilesIn(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    if (folder.empty()) return names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_regular_file(typeEc)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

FileResult<> MakeFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return FileResult<>::Failed(ec.message());
    return {};
}

}  // namespace calvex
