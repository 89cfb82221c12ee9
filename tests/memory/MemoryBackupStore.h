#pragma once

#include <map>
#include <string>
#include <vector>

#include "memory/IBackupStore.h"

namespace calvex::testing {

// A backups folder in memory; writes can be made to fail as a full disk would.
class MemoryBackupStore final : public IBackupStore {
  public:
    std::string folder() const override { return "/data/calvexadj/backups"; }
    FileResult<std::vector<std::string>> list() const override {
        if (!failList.empty()) return FileResult<std::vector<std::string>>::Failed(failList);
        std::vector<std::string> names;
        for (const auto& entry : files)
            names.push_back(entry.first);
        return names;
    }
    FileResult<std::string> read(const std::string& name, std::size_t maxBytes) const override {
        const auto it = files.find(name);
        if (it == files.end()) return FileResult<std::string>::Failed("No such file or directory");
        return it->second.substr(0, maxBytes + 1);
    }
    FileResult<> write(const std::string& name, const std::string& contents) override {
        ++writes;
        if (!failWrites.empty()) return FileResult<>::Failed(failWrites);
        files[name] = contents;
        return {};
    }
    bool remove(const std::string& name) override { return files.erase(name) != 0; }

    // The backups alone (*.vbk), in name order.
    std::vector<std::string> backups() const {
        std::vector<std::string> names;
        for (const auto& entry : files) {
            if (entry.first.size() > 4 && entry.first.ends_with(".vbk"))
                names.push_back(entry.first);
        }
        return names;
    }

    std::map<std::string, std::string> files;
    // Non-empty: every write fails with this reason.
    std::string failWrites;
    // Non-empty: the folder cannot be listed, for this reason.
    std::string failList;
    int writes = 0;
};

class FakeUtcClock final : public IUtcClock {
  public:
    int64_t utcSeconds() const override { return now; }
    // 2024-05-01T12:00:00Z
    int64_t now = 1714564800;
};

}  // namespace calvex::testing
