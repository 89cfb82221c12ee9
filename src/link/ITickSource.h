#pragma once

#include <cstdint>

namespace calvex {

// A millisecond count that wraps as a signed 32-bit value, like the platform tick count.
class ITickSource {
  public:
    virtual ~ITickSource() = default;
    virtual int32_t now() = 0;
};

// The monotonic clock in milliseconds, wrapped to a signed 32-bit value.
class SystemTickSource final : public ITickSource {
  public:
    int32_t now() override;
};

// The process-wide default source.
ITickSource& systemTickSource();

}  // namespace calvex
