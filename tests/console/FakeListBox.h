#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "console/IListBox.h"

namespace calvex::testing {

// A list box on a vector; counts the line replacements so tests can see redraws.
class FakeListBox : public IListBox {
  public:
    void Clear() override { lines.clear(); }
    void AddItem(const std::string& text) override { lines.push_back(text); }
    int32_t ListCount() const override { return static_cast<int32_t>(lines.size()); }
    void List(int32_t i, const std::string& text) override {
        lines.at(static_cast<std::size_t>(i)) = text;
        ++replacements;
    }
    std::string List(int32_t i) const override { return lines.at(static_cast<std::size_t>(i)); }

    std::vector<std::string> lines;
    int replacements = 0;
};

}  // namespace calvex::testing
