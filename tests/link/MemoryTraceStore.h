#pragma once

#include <map>
#include <string>
#include <vector>

#include "link/WireTrace.h"

namespace calvex::testing {

// A traces folder in memory; appends can be made to fail as a full disk would.
class MemoryTraceStore final : public ITraceStore {
  public:
    std::string folder() const override { return "/state/calvexadj/traces"; }
    std::vector<std::string> list() const override {
        std::vector<std::string> names;
        for (const auto& entry : files)
            names.push_back(entry.first);
        return names;
    }
    FileResult<> append(const std::string& name, const std::string& text) override {
        if (!failAppends.empty()) return FileResult<>::Failed(failAppends);
        files[name] += text;
        return {};
    }
    bool remove(const std::string& name) override { return files.erase(name) != 0; }

    std::map<std::string, std::string> files;
    std::string failAppends;
};

}  // namespace calvex::testing
