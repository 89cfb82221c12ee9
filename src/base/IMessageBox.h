#pragma once

#include <cstdint>
#include <string>

namespace calvex {

// The one kind of message the program shows: modal, critical-stop icon, one OK button.
// The desktop shows a real box (whose nested event loop lets timer ticks run); tests record.
class IMessageBox {
  public:
    virtual ~IMessageBox() = default;
    // Returns the code of the button pressed. detail, when not empty, is shown apart below the
    // text (the device and the system's reason of a port that failed); a box without room for
    // it ignores it.
    virtual int16_t critical(const std::string& text, const std::string& title,
                             const std::string& detail) = 0;
};

// Button code returned for OK.
inline constexpr int16_t kButtonOk = 1;

}  // namespace calvex
