#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace calvex {

// A serial device the system lists: its node, the stable name udev gives it, and what the
// device says it is.
struct SerialDevice {
    std::string node;  // /dev/ttyUSB0
    std::string byId;  // /dev/serial/by-id/usb-..., empty when no link there names the node
    std::string description;
    std::string manufacturer;
    std::string serialNumber;
    std::optional<uint16_t> vendorId, productId;

    // The path to keep in a settings file: the by-id name survives re-plugging the adapter
    // (the node's number depends on the order the adapters were found).
    const std::string& stablePath() const { return byId.empty() ? node : byId; }
    // Whether path names this device: its node, its by-id name, or a link to either.
    bool isNamedBy(const std::string& path) const;
};

// The serial devices present now, from QSerialPortInfo, each with its /dev/serial/by-id name.
std::vector<SerialDevice> PresentSerialDevices();

// Where the device list comes from; tests give a fixed list.
using SerialDeviceSource = std::function<std::vector<SerialDevice>()>;

// The link in dir that resolves to node, as dir/name; empty when none does.
std::string LinkNaming(const std::string& node, const std::string& dir = "/dev/serial/by-id");

}  // namespace calvex
