#pragma once

#include <functional>
#include <string>

#include "base/IMessageBox.h"

namespace calvex {

// Runs one event of the program (a tick, a key, a click, a menu choice). A run-time error ends
// that event only: it is reported with the critical message box and the program goes on. While
// such a report is open (its box keeps the timer running), further errors are not reported
// again, so a fault that repeats every tick cannot pile up boxes. stop, when given, runs before
// the report and puts whatever threw at rest, so that the next tick cannot throw the same error
// again; what it returns (what the stop left undone) is the report's last paragraph. Returns
// false on an error.
bool RunGuarded(IMessageBox& box, const std::function<void()>& event,
                const std::function<std::string()>& stop = {});

}  // namespace calvex
