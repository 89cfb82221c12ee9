#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileResult.h"
#include "base/ProgramPlaces.h"
#include "clone/FrameText.h"
#include "link/ITickSource.h"

namespace calvex {

// The folder the wire traces are written to. Names are plain file names inside it.
class ITraceStore {
  public:
    virtual ~ITraceStore() = default;
    virtual std::string folder() const = 0;
    // The regular files of the folder with their modification times; none when there is no
    // folder yet; the system's reason when it cannot be listed.
    virtual FileResult<std::vector<FolderFile>> list() const = 0;
    // Adds text at the end of the file, creating the folder and the file when needed, both
    // private to the user (a trace holds a customer's channel plan and serial number).
    virtual FileResult<> append(const std::string& name, const std::string& text) = 0;
    virtual bool remove(const std::string& name) = 0;
};

// The traces folder on the disk.
class FileTraceStore final : public ITraceStore {
  public:
    explicit FileTraceStore(std::string folder) : folder_(std::move(folder)) {}
    std::string folder() const override { return folder_; }
    FileResult<std::vector<FolderFile>> list() const override;
    FileResult<> append(const std::string& name, const std::string& text) override;
    bool remove(const std::string& name) override;

  private:
    std::string folder_;
};

// $XDG_STATE_HOME/calvexadj/traces, else $HOME/.local/state/calvexadj/traces; empty without
// either.
std::string DefaultTraceFolder(const char* xdgStateHome, const char* home);

// Every byte on the line, both ways, as text a developer can read: when it passed (seconds
// since the trace began, from the monotonic tick), which way, the line rate, the bytes in hex,
// and each complete frame decoded. One file per connection, named by its start and the radio
// that answered. Recording only appends to a buffer; the buffer reaches the file when flush()
// is called (at the end of each operation and at the program's end), so the tick never waits
// for the disk.
class WireTrace {
  public:
    // A file stops growing here (a last line says so); the folder keeps this many traces, the
    // ones written longest ago (by modification time) go first.
    static constexpr std::size_t kMaxFileBytes = std::size_t{4} * 1024 * 1024;
    static constexpr std::size_t kMaxFiles = 30;
    static constexpr const char* kSuffix = ".trace";

    // The folder of DefaultTraceFolder (from the environment).
    explicit WireTrace(ITickSource& ticks);
    WireTrace(const WireTrace&) = delete;
    WireTrace& operator=(const WireTrace&) = delete;
    ~WireTrace();

    void UseStore(ITraceStore& store) { store_ = &store; }
    ITraceStore& store() const { return *store_; }
    // Names the adjustment commands in the decoded lines.
    void commandNamer(CommandNamer namer) { namer_ = std::move(namer); }
    // The first line of every file (program and version).
    void heading(std::string text) { heading_ = std::move(text); }

    // Recording on or off; off, nothing is kept (what was recorded is flushed first).
    void enabled(bool on);
    bool enabled() const { return enabled_; }

    // A new connection starts (utcSeconds: the wall clock, for the file's name and heading):
    // what the previous one left is flushed, and the next bytes go to a new file.
    void begin(int64_t utcSeconds);
    void sent(std::string_view bytes, int32_t baud);
    void received(std::string_view bytes, int32_t baud);
    // Writes what is buffered. A failure is kept for TakeProblem and the file is given up
    // until the next connection.
    void flush();

    // The file of the current or last connection, empty before the first was written.
    const std::string& currentFile() const { return file_; }
    // The current file, else the trace of the folder written last (an earlier run's); empty
    // when there is none.
    std::string newestFile() const;
    // Why writing failed (once per failure), for the technician.
    std::optional<std::string> TakeProblem();

  private:
    void record(char direction, std::string_view bytes, int32_t baud);
    void add(const std::string& line);
    std::string radioLabel() const;
    void pruneFolder(const std::vector<FolderFile>& files);

    std::unique_ptr<ITraceStore> ownStore_;
    ITraceStore* store_;
    ITickSource& ticks_;
    CommandNamer namer_;
    std::string heading_;
    bool enabled_ = false;

    int64_t beganUtc_ = 0;
    bool begun_ = false;
    std::optional<int32_t> lastTick_;
    int64_t elapsedMs_ = 0;
    FrameSplitter sentFrames_, receivedFrames_;
    std::string radio_;  // "2601-0100" from the first identity answer
    std::string buffer_;
    std::string file_;
    std::size_t fileBytes_ = 0;
    bool cut_ = false;      // the file reached its bound
    bool givenUp_ = false;  // a write failed: nothing more for this connection
    std::optional<std::string> problem_;
};

}  // namespace calvex
