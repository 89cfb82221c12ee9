#pragma once

#include <sys/resource.h>

#include <csignal>

namespace calvex::testing {

// While alive, no file of this process may grow past bytes: a write beyond fails (EFBIG) as on a
// full disk, part of it written, so that a save is cut off in the middle.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldSignal_)(int) = SIG_DFL;
};

}  // namespace calvex::testing
