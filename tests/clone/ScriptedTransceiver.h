#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Common.h"
#include "clone/clsCmcCln3Drv.h"
#include "link/ISerialPeer.h"
#include "memory/clsCmcEeprom.h"

namespace calvex::testing {

// A transceiver on the far end of a loopback line for tests: echoes every byte, answers each
// complete frame as a good Velka would, and lets a test replace any answer by script. Frames
// that arrive at a rate other than its own are garbled on a real line, so it ignores them.
class ScriptedTransceiver : public ISerialPeer {
  public:
    struct Write {
        std::string bytes;
        int32_t baud;
    };

    // Identity the E1 answer reports.
    std::string model = std::string("\x26\x01", 2);
    std::string sub = std::string("\x01\x00", 2);
    // The unit's serial number; a unit without one answers zeros there.
    std::string serial;
    uint8_t byte43 = 0x05;
    // Memory a clone read sends and a clone write fills.
    clsCmcEeprom memory;
    // Result byte of E6 after a clone write.
    uint8_t e6Result = 0x00;
    // Whether an E8 (other than the rate switch) is answered.
    bool answerE8 = true;
    // Replaces the answer to one frame body (EE EF cmd ...); nullopt keeps the default.
    std::function<std::optional<std::string>(const std::string& body)> script;
    // Changes the clone read's blocks before they are framed: (index, block bytes) -> bytes.
    std::function<std::string(int index, std::string block)> editBlock;
    int32_t e5CountOffset = 0;
    // The line's rate as the transceiver runs it.
    int32_t rate = 9600;

    std::vector<Write> writes;        // every write of the program, with its rate
    std::vector<std::string> frames;  // bodies of the program's frames, in order
    // Clone write blocks refused, as received: text that is not upper-case hex, a byte count
    // that disagrees with the data, a checksum that does not bring the sum to 0, or an address
    // other than the one where the previous block ended (the first block starts at 0). One
    // refused block makes the closing E6 report a failure.
    std::vector<std::string> badBlocks;
    static constexpr uint8_t kBadWriteResult = 0x01;

    ScriptedTransceiver() {
        for (int32_t a = 0; a < memory.eeSize(); ++a) {
            memory.WriteByte(a, static_cast<uint8_t>((a * 7 + 3) & 0xFF));
        }
    }

    static std::string frame(const std::string& body) {
        return std::string("\xFE\xFE", 2) + body + "\xFD";
    }

    // E1 answer body of the given length (at least 43 bytes and below 60 for a good one).
    std::string identity(std::size_t length = 50) const {
        std::string body = std::string("\xEF\xEE\xE1", 3) + model + sub;
        body.push_back(static_cast<char>(length - 7));
        body.resize(length, '\0');
        if (length >= 43) body[42] = static_cast<char>(byte43);
        // Bytes 9..16 of the answer (counted from 1 on the frame's body).
        if (length >= 16) body.replace(8, serial.size(), serial);
        return body;
    }

    // An E4 body from the transceiver: address, count, data and checksum as ASCII hex.
    static std::string dataBlock(int32_t adr, const std::string& data) {
        std::string block;
        block.push_back(static_cast<char>((adr >> 8) & 0xFF));
        block.push_back(static_cast<char>(adr & 0xFF));
        block.push_back(static_cast<char>(data.size()));
        block += data;
        unsigned sum = 0;
        for (char c : block)
            sum += static_cast<unsigned char>(c);
        block.push_back(static_cast<char>((256 - sum % 256) % 256));
        return std::string("\xEF\xEE\xE4", 3) + ByteStrToHexStr(block);
    }

    static std::string closing(int count) {
        return std::string("\xEF\xEE\xE5", 3) + clsCmcCln3Drv::signature() +
               IntToHex2(static_cast<int16_t>(count));
    }

    // Cuts the line right after the first write this predicate recognises: that write and
    // every later one never reach the transceiver, and nothing comes back.
    std::function<bool(const Write&)> cutWhen;
    // Writes heard before the cut, the cutting one included; set once the cut has happened.
    std::optional<std::size_t> cutAfter;
    // Writes the program made after the cut, and what learns of them.
    std::size_t writesAfterCut = 0;
    std::function<void()> onWriteAfterCut;
    std::function<void()> onCut;

    // The line is whole again; the transceiver has dropped back to its normal rate.
    void restoreLine() {
        cutWhen = nullptr;
        cutAfter.reset();
        rate = 9600;
        writing_ = false;
    }

    void fromComputer(const std::string& bytes, int32_t baud) override {
        if (cutAfter) {
            // Writing to a device that is gone fails: that is how the program learns of it.
            ++writesAfterCut;
            if (onWriteAfterCut) onWriteAfterCut();
            return;
        }
        writes.push_back({bytes, baud});
        if (cutWhen && cutWhen(writes.back())) {
            cutAfter = writes.size();
            out_.clear();
            if (onCut) onCut();
            return;
        }
        out_ += bytes;  // the clone line echoes
        for (char c : bytes) {
            if (c == '\xFE') {
                body_.clear();
                inFrame_ = true;
            } else if (c == '\xFD') {
                if (inFrame_) {
                    frames.push_back(body_);
                    if (baud == rate) answer(body_);
                }
                inFrame_ = false;
            } else if (inFrame_) {
                body_.push_back(c);
            }
        }
    }

    std::string toComputer() override {
        if (cutAfter) return {};
        std::string bytes;
        bytes.swap(out_);
        return bytes;
    }

    // Every write so far joined, for byte-for-byte comparisons.
    std::string allWritten() const {
        std::string all;
        for (const auto& w : writes)
            all += w.bytes;
        return all;
    }

  private:
    void answer(const std::string& body) {
        if (body.size() < 3 || body[0] != '\xEE' || body[1] != '\xEF') return;
        if (script) {
            if (auto reply = script(body)) {
                out_ += *reply;
                return;
            }
        }
        switch (static_cast<unsigned char>(body[2])) {
            case 0xE0:
                out_ += frame(identity());
                break;
            case 0xE2: {
                int count = 0;
                for (int32_t adr = 0; adr < memory.eeSize(); adr += 16, ++count) {
                    std::string block = dataBlock(adr, memory.ReadBlock(adr, 16));
                    if (editBlock) block = editBlock(count, block);
                    out_ += frame(block);
                }
                out_ += frame(closing(count + e5CountOffset));
                rate = 9600;  // a finished read drops back to the normal rate
                break;
            }
            case 0xE3:
                writing_ = true;
                writeBad_ = false;
                nextBlockAdr_ = 0;
                break;
            case 0xE4:
                if (writing_) store(body);
                break;
            case 0xE5:
                if (writing_) {
                    writing_ = false;
                    out_ += frame(std::string("\xEF\xEE\xE6", 3) +
                                  static_cast<char>(writeBad_ ? kBadWriteResult : e6Result));
                }
                break;
            case 0xE8:
                if (body.size() >= 10 && body.substr(7, 3) == std::string("\x01\x30\x46", 3)) {
                    rate = 38400;  // the rate switch: no answer, the next frame comes fast
                } else if (answerE8 && body.size() >= 8) {
                    out_ += frame(std::string("\xEF\xEE\xE8", 3) + body.substr(3, 4) + body[7] +
                                  std::string("\x30\x41", 2));
                }
                break;
            default:
                break;
        }
    }

    void store(const std::string& body) {
        const std::string text = body.substr(3);
        const std::string bytes = HexStrToByteStr(text);
        unsigned sum = 0;
        for (char c : bytes)
            sum += static_cast<unsigned char>(c);
        const bool good =
            ByteStrToHexStr(bytes) == text && bytes.size() >= 4 &&
            bytes.size() == 4u + static_cast<unsigned char>(bytes[2]) && sum % 256 == 0 &&
            ((static_cast<unsigned char>(bytes[0]) << 8) | static_cast<unsigned char>(bytes[1])) ==
                nextBlockAdr_;
        if (!good) {
            badBlocks.push_back(body);
            writeBad_ = true;
            return;
        }
        const auto n = static_cast<unsigned char>(bytes[2]);
        memory.WriteBlock(nextBlockAdr_, bytes.substr(3, n));
        nextBlockAdr_ += n;
    }

    std::string out_;
    std::string body_;
    bool inFrame_ = false;
    bool writing_ = false;
    bool writeBad_ = false;
    int32_t nextBlockAdr_ = 0;
};

}  // namespace calvex::testing
