#pragma once

#include "link/ITickSource.h"

namespace calvex::testing {

// A tick count the test sets and advances by hand; advancing wraps like the platform count.
class FakeTickSource : public ITickSource {
  public:
    explicit FakeTickSource(int32_t start = 0) : now_(start) {}
    int32_t now() override { return now_; }
    void set(int32_t t) { now_ = t; }
    void advance(int32_t ms) {
        now_ = static_cast<int32_t>(static_cast<uint32_t>(now_) + static_cast<uint32_t>(ms));
    }

  private:
    int32_t now_;
};

}  // namespace calvex::testing
