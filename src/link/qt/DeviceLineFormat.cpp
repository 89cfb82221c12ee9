#include "link/qt/DeviceLineFormat.h"

// The kernel's own termios2 carries the rate as a number; it cannot share a file with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace calvex {

std::optional<LineFormat> DeviceLineFormat(int fd) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) return std::nullopt;
    LineFormat format;
    format.baud = static_cast<int32_t>(t.c_ospeed);
    // A device that reports another input rate runs at no single rate.
    if (t.c_ispeed != 0 && t.c_ispeed != t.c_ospeed) format.baud = 0;
    switch (t.c_cflag & CSIZE) {
        case CS5:
            format.dataBits = 5;
            break;
        case CS6:
            format.dataBits = 6;
            break;
        case CS7:
            format.dataBits = 7;
            break;
        default:
            format.dataBits = 8;
            break;
    }
    if ((t.c_cflag & PARENB) == 0) {
        format.parity = 'N';
    } else if ((t.c_cflag & CMSPAR) != 0) {
        format.parity = (t.c_cflag & PARODD) != 0 ? 'M' : 'S';
    } else {
        format.parity = (t.c_cflag & PARODD) != 0 ? 'O' : 'E';
    }
    format.stopBits = (t.c_cflag & CSTOPB) != 0 ? LineFormat::Stop::Two : LineFormat::Stop::One;
    return format;
}

}  // namespace calvex
