#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// Frames built and taken apart by hand, so that the radio is checked against the wire format
// itself and not against another encoder.
namespace simtest {

inline std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(static_cast<uint8_t>(v));
    }
    return out;
}

inline uint8_t at(const std::string& s, size_t pos1) {
    return static_cast<uint8_t>(s.at(pos1 - 1));  // positions count from 1, as on the wire
}

// Each byte as two upper-case ASCII hex characters.
inline std::string asciiHex(const std::string& raw) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : raw) {
        out += digits[c >> 4];
        out += digits[c & 0x0F];
    }
    return out;
}

inline int hexValue(const std::string& s, size_t pos0) {
    return std::stoi(s.substr(pos0, 2), nullptr, 16);
}

inline const std::string kIdentity = bytes({0x26, 0x01, 0x01, 0x00});
inline const std::string kSignature = bytes({0x56, 0x61, 0x72, 0x6E, 0x20, 0x49, 0x6E, 0x63, 0x2E});

// FE FE EE EF cmd payload FD: a request from the computer.
inline std::string request(int cmd, const std::string& payload) {
    return bytes({0xFE, 0xFE, 0xEE, 0xEF, cmd}) + payload + bytes({0xFD});
}

inline std::string identify() {
    return request(0xE0, bytes({0x26, 0x01, 0x00, 0x00}));
}

inline std::string adjust(int cmd, int value) {
    return request(0xE8, kIdentity + bytes({cmd}) + asciiHex(bytes({value})));
}

// An E4 block of a clone write: address, count, data and checksum in ASCII hex.
inline std::string writeBlock(int adr, const std::string& data, int checksumError = 0) {
    std::string block = bytes({adr >> 8, adr & 0xFF, static_cast<int>(data.size())}) + data;
    int sum = 0;
    for (unsigned char c : block) {
        sum += c;
    }
    block += static_cast<char>((256 - sum % 256 + checksumError) % 256);
    return request(0xE4, asciiHex(block));
}

// Bodies (between the last FE and the FD) of the frames the radio addressed to the computer.
inline std::vector<std::string> radioFrames(const std::string& stream) {
    std::vector<std::string> out;
    std::string body;
    bool inFrame = false;
    for (unsigned char c : stream) {
        if (c == 0xFE) {
            body.clear();
            inFrame = true;
        } else if (c == 0xFD) {
            if (inFrame && body.size() >= 2 && at(body, 1) == 0xEF && at(body, 2) == 0xEE) {
                out.push_back(body);
            }
            inFrame = false;
        } else if (inFrame) {
            body += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace simtest
