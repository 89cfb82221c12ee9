#include "shell/clsCmcProfileIO.h"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "base/ProgramPlaces.h"
#include "shell/PrivateProfile.h"

namespace calvex {

namespace {

constexpr int32_t kReadBufferSize = 255;
constexpr int32_t kDeviceBufferSize = 4096;
constexpr const char* kPortsSection = "PORTS";

std::string withSlash(const std::string& dir) {
    return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
// C++20 deduces this for aggregates by itself; clang before 17 still needs the guide.
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// A number text as the standard conversions read it: blanks around it, sign, digits, point,
// exponent. Anything else does not convert.
double parseNumber(const std::string& text) {
    const auto b = text.find_first_not_of(' ');
    const auto e = text.find_last_not_of(' ');
    if (b == std::string::npos) throw std::invalid_argument("empty number");
    std::string t = text.substr(b, e - b + 1);
    if (!t.empty() && t.front() == '+') t.erase(0, 1);
    double v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || ptr != t.data() + t.size() || !std::isfinite(v)) {
        throw std::invalid_argument("not a number: " + text);
    }
    return v;
}

template <class Int>
Int toInteger(const std::string& text) {
    const double rounded = std::nearbyint(parseNumber(text));  // ties to even
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        throw std::overflow_error("number out of range: " + text);
    }
    return static_cast<Int>(rounded);
}

template <class Float>
std::string shortestText(Float v) {
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, ec == std::errc() ? ptr : buf);
    for (char& c : s) {
        if (c == 'e') c = 'E';
    }
    return s;
}

std::string currencyText(Currency c) {
    const bool negative = c.scaled < 0;
    const uint64_t mag =
        negative ? 0 - static_cast<uint64_t>(c.scaled) : static_cast<uint64_t>(c.scaled);
    std::string s = std::to_string(mag / 10000);
    std::string frac = std::to_string(10000 + mag % 10000).substr(1);
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    if (!frac.empty()) s += "." + frac;
    return negative ? "-" + s : s;
}

std::string dateText(const ProfileDate& d, const char* format) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, d.year, d.month, d.day, d.hour, d.minute, d.second);
    return buf;
}

int slice(const std::string& text, std::size_t pos, std::size_t len) {
    return toInteger<int>(text.substr(pos, len));
}

ProfileDate parseDate(const std::string& t) {
    ProfileDate d{slice(t, 0, 4),  slice(t, 5, 2),  slice(t, 8, 2),
                  slice(t, 11, 2), slice(t, 14, 2), slice(t, 17, 2)};
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 || d.minute > 59 ||
        d.second > 59 || d.hour < 0 || d.minute < 0 || d.second < 0 || d.year < 100) {
        throw std::out_of_range("not a date: " + t);
    }
    return d;
}

bool isKnown(const ProfileValue& v) {
    return !std::holds_alternative<std::monostate>(v);
}

}  // namespace

std::string ProfileSaveText(const ProfileValue& v) {
    return std::visit(
        Overloaded{
            [](std::monostate) { return std::string(); },
            [](int16_t x) { return std::to_string(x); },
            [](int32_t x) { return std::to_string(x); },
            [](uint8_t x) { return std::to_string(x); },
            [](float x) { return shortestText(x); },
            [](double x) { return shortestText(x); },
            [](Currency x) { return currencyText(x); },
            [](const ProfileDate& d) { return dateText(d, "%04d.%02d.%02d-%02d:%02d:%02d"); },
            [](const std::string& s) { return s; },
            [](bool b) { return std::string(b ? "1" : "0"); },
        },
        v);
}

std::string ProfileDefaultText(const ProfileValue& v) {
    if (const auto* d = std::get_if<ProfileDate>(&v)) {
        return dateText(*d, "%04d-%02d-%02d %02d:%02d:%02d");
    }
    return ProfileSaveText(v);
}

void clsCmcProfileIO::FullPath(const std::string& value) {
    std::string dir = GetPathName(value);
    if (dir.empty() || dir.back() != '/') dir += '/';
    path_ = dir;
    name_ = GetFileName(value);
}

void clsCmcProfileIO::SetCurrentPath() {
    SetCurrentPath(ExecutableDirectory(), EnvironmentValue("XDG_CONFIG_HOME"),
                   EnvironmentValue("HOME"));
}

void clsCmcProfileIO::SetCurrentPath(const std::string& exeDir, const char* xdgConfigHome,
                                     const char* home) {
    SetCurrentPath(exeDir, SettingsBesideProgram(exeDir), xdgConfigHome, home);
}

void clsCmcProfileIO::SetCurrentPath(const std::string& exeDir, bool besideProgram,
                                     const char* xdgConfigHome, const char* home) {
    path_ = ChooseSettingsDirectory(exeDir, besideProgram, xdgConfigHome, home);
    defaultsPath_ = path_ == withSlash(exeDir) ? std::string() : withSlash(exeDir);
    if (path_.find(std::string("/") + kProgramFolder + "/") != std::string::npos) {
        std::error_code ec;
        std::filesystem::create_directories(path_, ec);  // a failed save reports itself later
    }
}

std::string clsCmcProfileIO::GetDefaultsProfile() const {
    if (defaultsPath_.empty()) return {};
    const std::string file = defaultsPath_ + name_;
    return file == GetMyProfile() ? std::string() : file;
}

std::optional<std::string> clsCmcProfileIO::Lookup(const std::string& section,
                                                   const std::string& key) const {
    if (auto own = FindPrivateProfileString(section, key, GetMyProfile())) return own;
    if (const std::string defaults = GetDefaultsProfile(); !defaults.empty()) {
        return FindPrivateProfileString(section, key, defaults);
    }
    return std::nullopt;
}

bool clsCmcProfileIO::saveData(const std::string& sKey, const ProfileValue& sData) const {
    if (!isKnown(sData)) return false;
    if (const std::string defaults = GetDefaultsProfile(); !defaults.empty()) {
        // Best effort: what is not carried over now is still read from the defaults file, and
        // the next save tries again.
        CopyMissingPrivateProfileEntries(kPortsSection, defaults, GetMyProfile());
    }
    return WritePrivateProfileString(section_, sKey, ProfileSaveText(sData), GetMyProfile());
}

bool clsCmcProfileIO::loadData(const std::string& sKey, ProfileValue& sData,
                               const std::optional<ProfileValue>& sDefaultData) const {
    if (!isKnown(sData)) return false;
    if (sDefaultData && sDefaultData->index() != sData.index()) return false;
    const std::string defaultText = ProfileDefaultText(sDefaultData ? *sDefaultData : sData);

    // As the platform's reader: at most the buffer's size less its terminator; nothing read
    // (an empty value) leaves the variable alone.
    std::string text = Lookup(section_, sKey).value_or(defaultText).substr(0, kReadBufferSize - 1);
    if (text.empty()) return false;
    text = StripTerminator(text);
    text.erase(text.find_last_not_of(' ') + 1);

    try {
        ProfileValue converted = std::visit(
            Overloaded{
                [](std::monostate) -> ProfileValue { return std::monostate{}; },
                [&](int16_t) -> ProfileValue { return toInteger<int16_t>(text); },
                [&](int32_t) -> ProfileValue { return toInteger<int32_t>(text); },
                [&](uint8_t) -> ProfileValue { return toInteger<uint8_t>(text); },
                [&](float) -> ProfileValue {
                    const double d = parseNumber(text);
                    if (std::fabs(d) > std::numeric_limits<float>::max()) {
                        throw std::overflow_error("single out of range");
                    }
                    return static_cast<float>(d);
                },
                [&](double) -> ProfileValue { return parseNumber(text); },
                [&](Currency) -> ProfileValue {
                    return Currency{toInteger<int64_t>(std::to_string(parseNumber(text) * 10000))};
                },
                [&](const ProfileDate& old) -> ProfileValue {
                    // Only the saved pattern's length is read; other texts leave the date alone.
                    return text.size() == 19 ? parseDate(text) : old;
                },
                [&](const std::string&) -> ProfileValue { return text; },
                [&](bool) -> ProfileValue { return text != "0"; },
            },
            sData);
        sData = std::move(converted);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string clsCmcProfileIO::ComPortVariable(int16_t n) {
    return "CALVEXADJ_COM" + std::to_string(n);
}

std::optional<std::string> clsCmcProfileIO::ComPortFromEnvironment(int16_t n) {
    if (const char* env = EnvironmentValue(ComPortVariable(n).c_str());
        env != nullptr && *env != '\0')
        return std::string(env);
    return std::nullopt;
}

std::string clsCmcProfileIO::ComPortDevice(int16_t n) const {
    // The environment wins, so that a demonstration can point a port at a simulated radio
    // without touching the technician's settings.
    if (auto env = ComPortFromEnvironment(n)) return *env;
    const std::string fallback = "/dev/ttyUSB" + std::to_string(n - 1);
    const std::string device = Lookup(kPortsSection, "COM" + std::to_string(n))
                                   .value_or(std::string())
                                   .substr(0, kDeviceBufferSize - 1);
    return device.empty() ? fallback : device;
}

std::string clsCmcProfileIO::StripTerminator(const std::string& s) {
    return s.substr(0, s.find('\0'));
}

std::string clsCmcProfileIO::GetFileName(std::string strPath) {
    for (;;) {
        if (auto p = strPath.find('/'); p != std::string::npos) {
            strPath.erase(0, p + 1);
        } else if (auto c = strPath.find(':'); c != std::string::npos) {
            strPath.erase(0, c + 1);
        } else {
            return strPath;
        }
    }
}

std::string clsCmcProfileIO::GetPathName(std::string strFilename) {
    for (char& c : strFilename) {
        if (c == '\\') c = '/';
    }
    std::size_t n = strFilename.size();
    const auto firstSlash = strFilename.find('/');
    std::string result;
    if (strFilename.empty() || (firstSlash != std::string::npos && firstSlash + 1 == n)) {
        if (n > 1) --n;
    } else {
        const auto lastSlash = strFilename.rfind('/');
        n = lastSlash == std::string::npos ? 0 : lastSlash + 1;
    }
    if (n < 1) {
        result = ExecutableDirectory();
    } else {
        result = strFilename.substr(0, n);
        if (result.back() == ':') result += '/';
    }
    if (!result.empty() && result.back() == '/') result.pop_back();
    return UCase16(result);
}

bool IsSystemFolder(const std::string& folder) {
    const std::string f = std::filesystem::path(folder).lexically_normal().string();
    for (const char* system : {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
        const std::string s = system;
        if (f.compare(0, s.size(), s) == 0 && (f.size() == s.size() || f[s.size()] == '/'))
            return true;
    }
    return false;
}

bool SettingsBesideProgram(const std::string& exeDir) {
    if (exeDir.empty() || IsSystemFolder(exeDir)) return false;
    // The user's own folder: a folder someone else owns is shared, even when the user may write
    // it.
    struct stat st {};
    return ::stat(exeDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           ::access(exeDir.c_str(), W_OK) == 0;
}

std::string ChooseSettingsDirectory(const std::string& exeDir, bool besideProgram,
                                    const char* xdgConfigHome, const char* home) {
    if (besideProgram && !exeDir.empty() && !IsSystemFolder(exeDir))
        return exeDir.back() == '/' ? exeDir : exeDir + "/";
    const std::string config = UserConfigFolder(xdgConfigHome, home);
    // Without a home the settings still have a place for this run.
    return (config.empty() ? std::string("/tmp/") + kProgramFolder : config) + "/";
}

std::string ExecutableDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

}  // namespace calvex
