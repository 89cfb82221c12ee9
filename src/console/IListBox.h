#pragma once

#include <cstdint>
#include <string>

namespace calvex {

// A list box of text lines as the core sees it; the desktop program implements it on its
// widget toolkit, tests on a plain vector. Lines count from 0.
class IListBox {
  public:
    virtual ~IListBox() = default;
    // Removes all lines.
    virtual void Clear() = 0;
    // Appends one line.
    virtual void AddItem(const std::string& text) = 0;
    virtual int32_t ListCount() const = 0;
    // Replaces the text of line i.
    virtual void List(int32_t i, const std::string& text) = 0;
    virtual std::string List(int32_t i) const = 0;
};

}  // namespace calvex
