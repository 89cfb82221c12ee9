#pragma once

#include <optional>

#include "link/LineFormat.h"

namespace calvex {

// The line format a serial device holds now, as its driver reports it (the rate it runs at, not
// the one asked for); nothing when the device does not say. A system may take part of a new
// format and drop the rest without an error (a pseudo-terminal keeps 8 data bits and no parity),
// so what was asked is checked against this. 1.5 stop bits cannot be told from 1 or 2: they never
// read back as asked.
std::optional<LineFormat> DeviceLineFormat(int fd);

}  // namespace calvex
