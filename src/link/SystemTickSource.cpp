#include <chrono>

#include "link/ITickSource.h"

namespace calvex {

int32_t SystemTickSource::now() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ms)));
}

ITickSource& systemTickSource() {
    static SystemTickSource source;
    return source;
}

}  // namespace calvex
