#include "link/qt/SerialDevices.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <filesystem>

namespace calvex {

namespace fs = std::filesystem;

namespace {

// The path with every link resolved, or the path itself when it does not resolve.
std::string resolved(const std::string& path) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    return ec ? path : real.string();
}

}  // namespace

bool SerialDevice::isNamedBy(const std::string& path) const {
    if (path.empty()) return false;
    if (path == node || (!byId.empty() && path == byId)) return true;
    const std::string real = resolved(path);
    return real == resolved(node);
}

std::string LinkNaming(const std::string& node, const std::string& dir) {
    std::error_code ec;
    const std::string real = resolved(node);
    std::vector<std::string> names;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_symlink(ec) && resolved(it->path().string()) == real) {
            names.push_back(it->path().string());
        }
    }
    // Several interfaces of one adapter each get a link; the first by name is as good as any
    // and the same every time.
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : names.front();
}

std::vector<SerialDevice> PresentSerialDevices() {
    std::vector<SerialDevice> out;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& p : ports) {
        SerialDevice d;
        d.node = p.systemLocation().toStdString();
        d.byId = LinkNaming(d.node);
        d.description = p.description().toStdString();
        d.manufacturer = p.manufacturer().toStdString();
        d.serialNumber = p.serialNumber().toStdString();
        if (p.hasVendorIdentifier()) d.vendorId = p.vendorIdentifier();
        if (p.hasProductIdentifier()) d.productId = p.productIdentifier();
        out.push_back(std::move(d));
    }
    std::sort(out.begin(), out.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.node < b.node; });
    return out;
}

}  // namespace calvex
