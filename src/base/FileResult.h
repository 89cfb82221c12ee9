#pragma once

#include <optional>
#include <string>
#include <utility>

namespace calvex {

// What an operation on a file gives: done, with its value when it has one, or failed with the
// reason in the system's words (what the technician is shown after the file's path).
template <class T = void>
class [[nodiscard]] FileResult {
  public:
    FileResult(T value) : value_(std::move(value)) {}
    static FileResult Failed(std::string reason) { return FileResult(Failure{std::move(reason)}); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& operator*() const { return *value_; }
    T& operator*() { return *value_; }
    const T* operator->() const { return &*value_; }
    // Empty when the operation was done.
    const std::string& reason() const { return reason_; }

  private:
    struct Failure {
        std::string reason;
    };
    explicit FileResult(Failure failure) : reason_(std::move(failure.reason)) {}

    std::optional<T> value_;
    std::string reason_;
};

template <>
class [[nodiscard]] FileResult<void> {
  public:
    FileResult() = default;
    static FileResult Failed(std::string reason) {
        FileResult result;
        result.ok_ = false;
        result.reason_ = std::move(reason);
        return result;
    }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& reason() const { return reason_; }

  private:
    bool ok_ = true;
    std::string reason_;
};

}  // namespace calvex
