#include "clone/FrameText.h"

#include "base/Common.h"
#include "clone/CloneCodes.h"

namespace calvex {

namespace {

constexpr unsigned char kPreamble = 0xFE;
constexpr unsigned char kEndMark = 0xFD;

int at(std::string_view s, std::size_t i) {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : -1;
}

std::string hex2(int v) {
    return UIntToHex(static_cast<uint32_t>(v), 2);
}

// The identity's four bytes from position from of the body: "model 2601 sub 0100".
std::string identity(std::string_view body, std::size_t from) {
    if (body.size() < from + 4) return "identity cut short";
    return "model " + hex2(at(body, from)) + hex2(at(body, from + 1)) + " sub " +
           hex2(at(body, from + 2)) + hex2(at(body, from + 3));
}

std::string dataBlock(std::string_view payload) {
    const int hi = HexByteAt(payload, 0), lo = HexByteAt(payload, 2), n = HexByteAt(payload, 4);
    if (hi < 0 || lo < 0 || n < 0) return "data, not readable as hex";
    std::string text = "data at " + hex2(hi) + hex2(lo) + ", " + std::to_string(n) + " bytes";
    if (payload.size() != static_cast<std::size_t>(8 + 2 * n)) {
        text += ", " + std::to_string(payload.size()) + " characters (" +
                std::to_string(8 + 2 * n) + " expected)";
    }
    return text;
}

}  // namespace

std::string DescribeFrame(std::string_view body, const CommandNamer& e8Name) {
    if (body.size() < 3) return "short frame of " + std::to_string(body.size()) + " bytes";
    const int command = at(body, 2);
    std::string text = hex2(command) + " " + hex2(at(body, 1)) + ">" + hex2(at(body, 0)) + " ";
    const std::string_view payload = body.substr(3);
    switch (command) {
        case clonecmd::kIdentify:
            return text + "identify " +
                   (payload.size() >= 2 ? "model " + hex2(at(payload, 0)) + hex2(at(payload, 1))
                                        : std::string("(no model)"));
        case clonecmd::kIdentityAnswer:
            return text + "identity " + identity(body, 3) + ", " + std::to_string(payload.size()) +
                   " payload bytes";
        case clonecmd::kRead:
            return text + "clone read " + identity(body, 3);
        case clonecmd::kWrite:
            return text + "clone write " + identity(body, 3);
        case clonecmd::kData:
            return text + dataBlock(payload);
        case clonecmd::kEnd: {
            text += "end of data";
            const int count = HexByteAt(payload, 9);
            if (count >= 0) text += ", " + std::to_string(count) + " blocks";
            return text;
        }
        case clonecmd::kWriteResult:
            return text + "write result " + (at(payload, 0) == 0 ? "ok" : "failed");
        case clonecmd::kAdjust: {
            // To the radio: identity, command, value as two hex digits; from it: identity, the
            // command sent, the result.
            const int code = at(body, 7);
            text += identity(body, 3);
            if (code < 0) return text + ", no command";
            text += ", command " + hex2(code);
            if (const std::string name = e8Name ? e8Name(code) : std::string(); !name.empty())
                text += " \"" + name + "\"";
            const int value = HexByteAt(body, 8);
            if (value >= 0) text += " value " + hex2(value) + " (" + std::to_string(value) + ")";
            return text;
        }
        default:
            return text + std::to_string(payload.size()) + " payload bytes";
    }
}

std::vector<std::string> FrameSplitter::feed(std::string_view bytes) {
    std::vector<std::string> frames;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == kPreamble) {
            body_.clear();
            inFrame_ = true;
        } else if (!inFrame_) {
            continue;
        } else if (b == kEndMark) {
            frames.push_back(body_);
            body_.clear();
            inFrame_ = false;
        } else if (body_.size() < 512) {
            body_ += c;
        }
    }
    return frames;
}

}  // namespace calvex
