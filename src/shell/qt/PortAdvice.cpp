#include "shell/qt/PortAdvice.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "link/frmCom.h"

namespace calvex {

namespace fs = std::filesystem;

namespace {

std::string quoteHex(uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", v);
    return std::string("\"") + buf + "\"";
}

// "/dev/serial/by-id/usb-... (FT232R USB UART, /dev/ttyUSB0)"
std::string Describe(const SerialDevice& d) {
    std::string s = d.stablePath() + " (" + DeviceKind(d);
    if (!d.byId.empty()) s += ", " + d.node;
    return s + ")";
}

std::string PresentList(const std::vector<SerialDevice>& present) {
    if (present.empty()) return "No serial device is present now.";
    std::string s = "Serial devices present now:";
    for (const SerialDevice& d : present) {
        s += "\n- " + Describe(d);
    }
    return s;
}

std::string HowToMap(const PortFacts& f) {
    const std::string n = std::to_string(f.comPort);
    return "Choose the device of COM " + n +
           " under Option > Port > Serial devices\xE2\x80\xA6, or write COM" + n +
           "=<device> in the [PORTS] section of " +
           (f.settingsFile.empty() ? std::string("the settings file") : f.settingsFile) + ".";
}

const SerialDevice* Listed(const PortFacts& f) {
    for (const SerialDevice& d : f.present) {
        if (d.isNamedBy(f.device)) return &d;
    }
    return nullptr;
}

std::string ModemManagerAdvice(const PortFacts& f) {
    std::string rule = "ENV{ID_MM_DEVICE_IGNORE}=\"1\"";
    if (const SerialDevice* d = Listed(f); d != nullptr && d->vendorId && d->productId) {
        rule = "ATTRS{idVendor}==" + quoteHex(*d->vendorId) +
               ", ATTRS{idProduct}==" + quoteHex(*d->productId) + ", " + rule;
    }
    return std::string("ModemManager probes a newly plugged USB serial adapter for a modem for ") +
           "a while" + (f.modemManager ? ", and it is running here" : "") +
           ": wait a minute and press Connect again, or keep it off the adapter with a udev "
           "rule in /etc/udev/rules.d/: " +
           rule;
}

std::string Advice(const PortFacts& f) {
    const std::string& dev = f.device;
    if (f.reason == frmCom::kDisconnected) {
        std::string s = "Check the cable and its USB adapter, then press Connect again.";
        if (!f.exists && !f.present.empty()) {
            s += "\n" + PresentList(f.present) + "\n" + HowToMap(f);
        }
        return s;
    }
    if (!f.exists) {
        if (f.present.empty()) {
            return "No serial device is present: plug in the cable's USB adapter.\n" + HowToMap(f);
        }
        return PresentList(f.present) + "\n" + HowToMap(f);
    }
    if (!f.isCharDevice) {
        return dev + " is not a serial device.\n" + PresentList(f.present) + "\n" + HowToMap(f);
    }
    if (!f.accessible) {
        if (f.group.empty() || f.group == "root") {
            return "Only root may use " + dev +
                   ": a udev rule has to give it to the serial group (GROUP=\"dialout\", "
                   "MODE=\"0660\").";
        }
        if (f.inGroup) {
            return "You are in group " + f.group + ", yet " + dev +
                   " does not let the group read and write it: look at  ls -l " + dev;
        }
        if (f.groupListed) {
            return "You were added to group " + f.group +
                   " after you logged in: log out and in again.";
        }
        return dev + " belongs to group " + f.group + ", which you are not in. Join it with  " +
               "sudo usermod -aG " + f.group + " $USER  then log out and in again.";
    }
    std::string s;
    bool modemManagerHolds = false;
    if (!f.holders.empty()) {
        s = "Another program holds " + dev + ": ";
        for (std::size_t i = 0; i < f.holders.size(); ++i) {
            if (i > 0) s += ", ";
            s += f.holders[i];
            modemManagerHolds |= f.holders[i].rfind("ModemManager", 0) == 0;
        }
        s += ". Close it, then press Connect again.";
    } else {
        s = dev +
            " is there and you may use it, but it could not be opened: another program may hold "
            "it.";
    }
    // What holds the device cannot always be seen (ModemManager runs as another user).
    if (modemManagerHolds || f.holders.empty()) {
        s += "\n" + ModemManagerAdvice(f);
    }
    return s;
}

bool HasGroup(gid_t gid) {
    if (getegid() == gid) return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    const int got = ::getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

bool UserListedIn(gid_t gid) {
    const passwd* pw = ::getpwuid(::geteuid());
    if (pw == nullptr) return false;
    if (pw->pw_gid == gid) return true;
    int n = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(n));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &n) < 0) {
        groups.resize(static_cast<std::size_t>(n));
        if (::getgrouplist(pw->pw_name, pw->pw_gid, groups.data(), &n) < 0) return false;
    }
    return std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The process number a lock file names: written as text by the usual lockers (a padded
// number, or the number on the first line).
long LockOwner(const std::string& lockFile) {
    std::string line = ReadFirstLine(lockFile);
    line.erase(0, line.find_first_not_of(" \t"));
    line.erase(
        std::find_if(line.begin(), line.end(), [](unsigned char c) { return !std::isdigit(c); }),
        line.end());
    return AllDigits(line) && line.size() < 10 ? std::stol(line) : 0;
}

std::string ProcessName(const std::string& procDir, long pid) {
    const std::string name = ReadFirstLine(procDir + "/" + std::to_string(pid) + "/comm");
    return (name.empty() ? std::string("a program") : name) + " (process " + std::to_string(pid) +
           ")";
}

}  // namespace

std::string DeviceKind(const SerialDevice& d) {
    if (!d.description.empty()) return d.description;
    if (!d.manufacturer.empty()) return d.manufacturer;
    return "serial port";
}

std::string PortAdvice(const PortFacts& f) {
    return f.device + ": " + f.reason + "\n\n" + Advice(f);
}

PortFacts GatherPortFacts(int16_t comPort, const std::string& device, const std::string& reason,
                          std::vector<SerialDevice> present, const std::string& settingsFile,
                          const std::string& lockDir, const std::string& procDir) {
    PortFacts f;
    f.comPort = comPort;
    f.device = device;
    f.reason = reason;
    f.present = std::move(present);
    f.settingsFile = settingsFile;

    struct stat st {};
    if (::stat(device.c_str(), &st) == 0) {
        f.exists = true;
        f.isCharDevice = S_ISCHR(st.st_mode);
        f.accessible = ::access(device.c_str(), R_OK | W_OK) == 0;
        if (const group* g = ::getgrgid(st.st_gid); g != nullptr) f.group = g->gr_name;
        f.inGroup = HasGroup(st.st_gid);
        f.groupListed = f.inGroup || UserListedIn(st.st_gid);
    }

    std::error_code ec;
    const fs::path real = fs::canonical(device, ec);
    const long self = static_cast<long>(::getpid());
    std::set<long> holders;
    if (!ec) {
        const long owner = LockOwner(lockDir + "/LCK.." + real.filename().string());
        if (owner > 0 && owner != self && fs::exists(procDir + "/" + std::to_string(owner), ec)) {
            holders.insert(owner);
        }
    }
    for (fs::directory_iterator it(procDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string pidText = it->path().filename().string();
        if (!AllDigits(pidText) || pidText.size() >= 10) continue;
        const long pid = std::stol(pidText);
        if (ReadFirstLine(it->path().string() + "/comm") == "ModemManager") f.modemManager = true;
        if (real.empty() || pid == self) continue;
        std::error_code fdError;
        for (fs::directory_iterator fd(it->path() / "fd", fdError), fdEnd; !fdError && fd != fdEnd;
             fd.increment(fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd->path(), linkError) == real) {
                holders.insert(pid);
                break;
            }
        }
    }
    for (const long pid : holders) {
        f.holders.push_back(ProcessName(procDir, pid));
    }
    return f;
}

std::string PortMenuCaption(int16_t comPort, const std::string& device,
                            const std::vector<SerialDevice>& present) {
    std::string what = "(not present)";
    const auto listed = std::find_if(present.begin(), present.end(),
                                     [&](const SerialDevice& d) { return d.isNamedBy(device); });
    std::error_code ec;
    if (listed != present.end()) {
        what = DeviceKind(*listed);
    } else if (fs::exists(device, ec)) {
        what = "(present)";
    }
    // The caption's own '&' marks the shortcut; one in a path or a name is shown as it is.
    std::string text = device + "  " + what;
    std::string escaped;
    for (const char c : text) {
        escaped += c;
        if (c == '&') escaped += '&';
    }
    return "COM &" + std::to_string(comPort) + "  " + escaped;
}

}  // namespace calvex
