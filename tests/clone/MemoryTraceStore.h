#pragma once

#include <map>
#include <string>
#include <vector>

#include "clone/WireTrace.h"

namespace calvex::testing {

// A traces folder in memory; appends can be made to fail as a full disk would.
class MemoryTraceStore final : public ITraceStore {
  public:
    std::string folder() const override { return "/state/calvexadj/traces"; }
    FileResult<std::vector<FolderFile>> list() const override {
        if (!failList.empty()) return FileResult<std::vector<FolderFile>>::Failed(failList);
        std::vector<FolderFile> listed;
        for (const auto& entry : files) {
            const auto at = modified.find(entry.first);
            listed.push_back({entry.first, at == modified.end() ? 0 : at->second});
        }
        return listed;
    }
    FileResult<> append(const std::string& name, const std::string& text) override {
        if (!failAppends.empty()) return FileResult<>::Failed(failAppends);
        files[name] += text;
        modified[name] = ++clock;
        return {};
    }
    bool remove(const std::string& name) override {
        modified.erase(name);
        return files.erase(name) != 0;
    }

    std::map<std::string, std::string> files;
    // Each file's modification time; 0 for one put into files by hand.
    std::map<std::string, int64_t> modified;
    int64_t clock = 1000;
    std::string failAppends;
    std::string failList;
};

}  // namespace calvex::testing
