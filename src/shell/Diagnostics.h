#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "base/IMessageBox.h"

namespace calvex {

// Passes every message on to the real box and keeps the last ones of this run, for the
// diagnostics file.
class RecordingMessageBox final : public IMessageBox {
  public:
    static constexpr std::size_t kKept = 50;
    explicit RecordingMessageBox(IMessageBox& inner) : inner_(inner) {}
    int16_t critical(const std::string& text, const std::string& title,
                     const std::string& detail) override;
    // "text" or "text\n  detail", oldest first.
    const std::deque<std::string>& shown() const { return shown_; }

  private:
    IMessageBox& inner_;
    std::deque<std::string> shown_;
};

// What the diagnostics file tells; the desktop gathers it, the text is made here.
struct DiagnosticsFacts {
    std::string program;  // name, version, build
    std::string qt;       // the Qt version in use
    std::string system;   // kernel and machine
    std::string utcTime;  // when the file was made
    std::string settingsPath;
    std::string settingsText;                // the whole settings file, [PORTS] included
    std::vector<std::string> serialDevices;  // one line each
    std::vector<std::string> portFacts;      // what the port advice looks at, one line each
    std::vector<std::string> messages;       // shown in this run, oldest first
    std::string constPath;                   // Const.ini in use, or where it was looked for
    std::string constChecksum;               // SHA-256 of the file, or why there is none
    std::string traceName;                   // the last wire trace, empty when none
    std::string traceText;
};

// The file's text: one section per fact, each headed "== Name ==", in a fixed order. A long
// trace keeps its beginning and its end (kTraceKeep bytes each).
inline constexpr std::size_t kTraceKeep = 256 * 1024;
std::string FormatDiagnostics(const DiagnosticsFacts& facts);

}  // namespace calvex
