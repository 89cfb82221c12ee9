#include "shell/ProgramPlaces.h"

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

}  // namespace calvex
