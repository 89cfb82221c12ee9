#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace calvex::fuzz {

// Takes the fuzzer's bytes apart: small numbers for choices, byte runs for data. Runs out
// gracefully, answering 0 and empty strings.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // A number in 0..n-1 (n at least 1).
    unsigned pick(unsigned n) { return byte() % n; }
    std::string bytes(std::size_t n) {
        const std::size_t take = n < size_ - pos_ ? n : size_ - pos_;
        std::string out(reinterpret_cast<const char*>(data_ + pos_), take);
        pos_ += take;
        return out;
    }
    std::string rest() { return bytes(size_ - pos_); }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace calvex::fuzz
