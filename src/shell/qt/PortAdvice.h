#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/qt/SerialDevices.h"

namespace calvex {

// What the program can see of a port that could not be opened or was lost.
struct PortFacts {
    int16_t comPort = 1;
    std::string device;         // the path the port number maps to
    std::string reason;         // the system's reason; frmCom::kDisconnected for a lost device
    bool exists = false;        // the path names something now (links followed)
    bool isCharDevice = false;  // and that is a character device, as a serial port is
    bool accessible = false;    // this process may read and write it
    std::string group;          // the device's group
    bool inGroup = false;       // this process has that group
    bool groupListed = false;   // the user is listed in it (it counts from the next login)
    std::vector<std::string> holders;   // programs that hold the device: "minicom (process 812)"
    bool modemManager = false;          // ModemManager is running
    std::vector<SerialDevice> present;  // the serial devices present now
    std::string settingsFile;           // the file whose [PORTS] section maps the port numbers
};

// The detail of the port's message: the device and the system's reason on the first line,
// then what the technician can do about it.
std::string PortAdvice(const PortFacts& facts);

// Looks at the device, the groups of this process and its user, the lock file in lockDir and
// the open files of the processes under procDir.
PortFacts GatherPortFacts(int16_t comPort, const std::string& device, const std::string& reason,
                          std::vector<SerialDevice> present, const std::string& settingsFile,
                          const std::string& lockDir = "/var/lock",
                          const std::string& procDir = "/proc");

// One entry of Option > Port: "COM &1  /dev/ttyUSB0  FT232R USB UART", "(present)" for a
// path that is there but not a listed serial device (a simulator's terminal), "(not present)".
std::string PortMenuCaption(int16_t comPort, const std::string& device,
                            const std::vector<SerialDevice>& present);

// What a listed device says it is: its description, else its maker, else "serial port".
std::string DeviceKind(const SerialDevice& d);

}  // namespace calvex
