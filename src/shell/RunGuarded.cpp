#include "shell/RunGuarded.h"

#include <exception>
#include <string>

#include "base/Common.h"

namespace calvex {

bool RunGuarded(IMessageBox& box, const std::function<void()>& event,
                const std::function<std::string()>& stop) {
    static bool reporting = false;
    std::string what;
    try {
        event();
        return true;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "unknown error";
    }
    std::string note;
    if (stop) {
        try {
            note = stop();
        } catch (...) {
            // The report below still goes out; the program stays up.
        }
    }
    if (!reporting) {
        reporting = true;
        try {
            MsgBoxCritical(box,
                           "Run-time error: " + what + (note.empty() ? "" : "\r\n\r\n" + note));
        } catch (...) {
            // Nothing more can be told; the program still goes on.
        }
        reporting = false;
    }
    return false;
}

}  // namespace calvex
