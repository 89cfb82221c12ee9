#include "clone/WireTrace.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <tuple>

#include "base/Common.h"
#include "base/ProgramPlaces.h"
#include "clone/CloneCodes.h"

namespace calvex {

namespace fs = std::filesystem;

FileResult<std::vector<FolderFile>> FileTraceStore::list() const {
    return RegularFilesIn(folder_);
}

FileResult<> FileTraceStore::append(const std::string& name, const std::string& text) {
    if (folder_.empty())
        return FileResult<>::Failed("neither XDG_STATE_HOME nor HOME names a folder for it");
    if (auto made = MakeFolder(folder_); !made) return made;
    // Appended, not replaced: a trace grows by every flush, up to kMaxFileBytes.
    const std::string path = folder_ + "/" + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return FileResult<>::Failed(std::strerror(errno));
    std::size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) return FileResult<>::Failed(std::strerror(error));
    return {};
}

bool FileTraceStore::remove(const std::string& name) {
    std::error_code ec;
    return fs::remove(folder_ + "/" + name, ec);
}

std::string DefaultTraceFolder(const char* xdgStateHome, const char* home) {
    const std::string state = UserStateFolder(xdgStateHome, home);
    return state.empty() ? state : (fs::path(state) / "traces").string();
}

namespace {

std::string utcText(int64_t utcSeconds, const char* format) {
    const auto t = static_cast<std::time_t>(utcSeconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, format, &tm);
    return text;
}

std::string hexBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        if (!text.empty()) text += ' ';
        text += UIntToHex(static_cast<unsigned char>(c), 2);
    }
    return text;
}

}  // namespace

WireTrace::WireTrace(ITickSource& ticks)
    : ownStore_(std::make_unique<FileTraceStore>(
          DefaultTraceFolder(EnvironmentValue("XDG_STATE_HOME"), EnvironmentValue("HOME")))),
      store_(ownStore_.get()),
      ticks_(ticks) {}

WireTrace::~WireTrace() = default;

void WireTrace::enabled(bool on) {
    if (enabled_ && !on) flush();
    enabled_ = on;
}

void WireTrace::begin(int64_t utcSeconds) {
    flush();
    beganUtc_ = utcSeconds;
    begun_ = true;
    lastTick_.reset();
    elapsedMs_ = 0;
    sentFrames_ = {};
    receivedFrames_ = {};
    radio_.clear();
    buffer_.clear();
    file_.clear();
    fileBytes_ = 0;
    cut_ = false;
    givenUp_ = false;
}

void WireTrace::sent(std::string_view bytes, int32_t baud) {
    if (enabled_ && !bytes.empty()) record('>', bytes, baud);
}

void WireTrace::received(std::string_view bytes, int32_t baud) {
    if (enabled_ && !bytes.empty()) record('<', bytes, baud);
}

void WireTrace::record(char direction, std::string_view bytes, int32_t baud) {
    if (!begun_) begin(0);  // bytes before any Connect still belong to some file
    if (cut_ || givenUp_) return;
    // Wrap-safe: the tick is a wrapping 32-bit count; differences are small.
    const int32_t now = ticks_.now();
    if (lastTick_) {
        elapsedMs_ += static_cast<uint32_t>(now) - static_cast<uint32_t>(*lastTick_);
    }
    lastTick_ = now;
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%9.3f %s %6d ", static_cast<double>(elapsedMs_) / 1000.0,
                  direction == '>' ? "TX" : "RX", static_cast<int>(baud));
    add(stamp + hexBytes(bytes) + "\n");
    FrameSplitter& frames = direction == '>' ? sentFrames_ : receivedFrames_;
    for (const std::string& body : frames.feed(bytes)) {
        if (radio_.empty() && body.size() >= 7 &&
            static_cast<unsigned char>(body[2]) == clonecmd::kIdentityAnswer) {
            radio_ = UIntToHex(static_cast<unsigned char>(body[3]), 2) +
                     UIntToHex(static_cast<unsigned char>(body[4]), 2) + "-" +
                     UIntToHex(static_cast<unsigned char>(body[5]), 2) +
                     UIntToHex(static_cast<unsigned char>(body[6]), 2);
        }
        add(std::string(20, ' ') + "= " + DescribeFrame(body, namer_) + "\n");
    }
}

void WireTrace::add(const std::string& line) {
    if (cut_) return;
    if (fileBytes_ + buffer_.size() + line.size() > kMaxFileBytes) {
        buffer_ += "# The trace stops here: the file reached its bound of " +
                   std::to_string(kMaxFileBytes) + " bytes.\n";
        cut_ = true;
        return;
    }
    buffer_ += line;
}

std::string WireTrace::radioLabel() const {
    return radio_.empty() ? "no-radio" : radio_;
}

namespace {

// The traces of the folder, written longest ago first (by modification time, then by name).
std::vector<FolderFile> tracesByAge(const std::vector<FolderFile>& files) {
    std::vector<FolderFile> traces;
    for (const FolderFile& f : files) {
        if (f.name.ends_with(WireTrace::kSuffix)) traces.push_back(f);
    }
    std::sort(traces.begin(), traces.end(), [](const FolderFile& a, const FolderFile& b) {
        return std::tie(a.modified, a.name) < std::tie(b.modified, b.name);
    });
    return traces;
}

}  // namespace

void WireTrace::pruneFolder(const std::vector<FolderFile>& files) {
    // By when each was written, not by its name: a name holds the wall clock of its start, which
    // may have been set wrong.
    std::vector<FolderFile> traces = tracesByAge(files);
    std::size_t count = traces.size();
    for (const FolderFile& f : traces) {
        if (count < kMaxFiles) break;
        store_->remove(f.name);
        --count;
    }
}

std::string WireTrace::newestFile() const {
    if (!file_.empty()) return file_;
    const auto files = store_->list();
    if (!files) return {};
    const std::vector<FolderFile> traces = tracesByAge(*files);
    return traces.empty() ? std::string() : traces.back().name;
}

void WireTrace::flush() {
    if (buffer_.empty() || givenUp_) {
        buffer_.clear();
        return;
    }
    std::string text;
    if (file_.empty()) {
        const auto listed = store_->list();
        if (!listed) {
            // Without the folder's names no free name is known: nothing is written over.
            givenUp_ = true;
            buffer_.clear();
            problem_ = store_->folder() + ": cannot be listed: " + listed.reason();
            return;
        }
        pruneFolder(*listed);
        // A second connection within the same second gets a file of its own too.
        const auto taken = [&listed](const std::string& name) {
            return std::any_of(listed->begin(), listed->end(),
                               [&name](const FolderFile& f) { return f.name == name; });
        };
        const std::string stem = utcText(beganUtc_, "%Y%m%d-%H%M%SZ-") + radioLabel();
        file_ = stem + kSuffix;
        for (int copy = 2; taken(file_); ++copy)
            file_ = stem + "-" + std::to_string(copy) + kSuffix;
        text = "# " + heading_ + "wire trace of " + radioLabel() + ", begun " +
               utcText(beganUtc_, "%Y-%m-%dT%H:%M:%SZ") +
               "\n# seconds since then, TX to the line or RX from it (the cable echoes what is "
               "sent), line rate, bytes; = a complete frame in words\n";
    }
    text += buffer_;
    buffer_.clear();
    const FileResult<> written = store_->append(file_, text);
    if (!written) {
        givenUp_ = true;
        problem_ = store_->folder() + "/" + file_ + ": " + written.reason();
        return;
    }
    fileBytes_ += text.size();
}

std::optional<std::string> WireTrace::TakeProblem() {
    auto problem = std::move(problem_);
    problem_.reset();
    return problem;
}

}  // namespace calvex
