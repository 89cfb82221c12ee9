#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace calvex {

namespace {

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

FileResult<> ReplaceFileAtomically(const std::string& path, const std::string& contents,
                                   FileAccess access, const std::function<bool()>& beforeRename) {
    // The first system error met is the one reported.
    int error = 0;
    const auto note = [&error](bool ok) {
        if (!ok && error == 0) error = errno;
        return ok;
    };
    std::string tmpl = path + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return FileResult<>::Failed(std::strerror(errno));
    // Private: the user alone. Usual: the old file's permissions, the usual ones for a new file.
    mode_t mode = 0600;
    if (access == FileAccess::Usual) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
    }
    bool ok =
        note(::fchmod(fd, mode) == 0) && note(writeAll(fd, contents)) && note(::fsync(fd) == 0);
    ok = note(::close(fd) == 0) && ok;
    if (ok && beforeRename) ok = beforeRename();
    if (ok) ok = note(::rename(tmpl.c_str(), path.c_str()) == 0);
    if (!ok) {
        ::unlink(tmpl.c_str());
        return FileResult<>::Failed(error != 0 ? std::strerror(error) : "abandoned");
    }
    // Make the rename itself durable.
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

}  // namespace calvex
