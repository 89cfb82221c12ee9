#include "memory/FileBackupStore.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/AtomicFile.h"
#include "base/ProgramPlaces.h"

namespace calvex {

namespace fs = std::filesystem;

FileResult<std::vector<std::string>> FileBackupStore::list() const {
    return RegularFileNamesIn(folder_);
}

FileResult<std::string> FileBackupStore::read(const std::string& name, std::size_t maxBytes) const {
    std::ifstream in(path(name), std::ios::binary);
    if (!in) return FileResult<std::string>::Failed(std::strerror(errno));
    std::string data(maxBytes + 1, '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    if (in.bad()) return FileResult<std::string>::Failed("read error");
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

FileResult<> FileBackupStore::write(const std::string& name, const std::string& contents) {
    if (folder_.empty())
        return FileResult<>::Failed("neither XDG_DATA_HOME nor HOME names a folder for it");
    if (auto made = MakeFolder(folder_); !made) return made;
    // A customer's channel plan and serial number: for the user alone.
    return ReplaceFileAtomically(path(name), contents, FileAccess::Private);
}

bool FileBackupStore::remove(const std::string& name) {
    std::error_code ec;
    return fs::remove(path(name), ec);
}

int64_t SystemUtcClock::utcSeconds() const {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::string DefaultBackupFolder(const char* xdgDataHome, const char* home) {
    const std::string data = UserDataFolder(xdgDataHome, home);
    return data.empty() ? data : (fs::path(data) / "backups").string();
}

}  // namespace calvex
