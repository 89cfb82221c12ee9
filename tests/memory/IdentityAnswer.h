#pragma once

#include <string>

namespace calvex::testing {

// An identification answer as the simulated transceiver gives it, of another serial or sub code.
inline std::string IdentityAnswer(const std::string& serial,
                                  const std::string& sub = std::string("\x01\x00", 2)) {
    std::string a = std::string("\xEF\xEE\xE1\x26\x01", 5) + sub;
    a += static_cast<char>(43);
    a += serial;
    a.resize(42, '\0');
    a += '\x05';
    a.resize(50, '\0');
    return a;
}

}  // namespace calvex::testing
