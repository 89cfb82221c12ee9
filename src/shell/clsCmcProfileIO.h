#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace calvex {

// Fixed-point money value with four decimals (value = scaled / 10000).
struct Currency {
    int64_t scaled = 0;
    bool operator==(const Currency&) const = default;
};

// A calendar date and time of day, to the second.
struct ProfileDate {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
    bool operator==(const ProfileDate&) const = default;
};

// Every value type the settings object stores; monostate stands for any other type, which is
// refused.
using ProfileValue = std::variant<std::monostate, int16_t, int32_t, float, double, Currency,
                                  uint8_t, ProfileDate, std::string, bool>;

// A small typed reader/writer of one INI settings file: directory plus name, and a current
// section. On Linux "/" is the path separator.
//
// An optional second, read-only file of the same name (DefaultsPath) holds system-wide defaults:
// reading takes a key from the settings file when it is there, else from the defaults file,
// else the caller's default. Saving writes the settings file only.
class clsCmcProfileIO {
  public:
    const std::string& Name() const { return name_; }
    void Name(const std::string& v) { name_ = v; }
    const std::string& Path() const { return path_; }
    void Path(const std::string& v) { path_ = v; }
    const std::string& Section() const { return section_; }
    void Section(const std::string& v) { section_ = v; }

    // The directory of the defaults file, ending in "/"; empty when there is none.
    const std::string& DefaultsPath() const { return defaultsPath_; }
    void DefaultsPath(const std::string& v) { defaultsPath_ = v; }

    std::string FullPath() const { return GetMyProfile(); }
    void FullPath(const std::string& value);
    // The directory of the executable when the settings may be kept there (one file, no
    // defaults: see SettingsBesideProgram). Otherwise (an installed program) the user's config
    // directory (see ChooseSettingsDirectory), with the directory of the executable as
    // DefaultsPath. The one place that reads the environment and the executable's path.
    void SetCurrentPath();
    // The same decision for the program folder exeDir, judged as SettingsBesideProgram judges
    // it, and the environment's values given (tests).
    void SetCurrentPath(const std::string& exeDir, const char* xdgConfigHome, const char* home);
    // The same decision with the judgement given too (tests).
    void SetCurrentPath(const std::string& exeDir, bool besideProgram, const char* xdgConfigHome,
                        const char* home);
    std::string GetMyProfile() const { return path_ + name_; }
    // The defaults file; empty when there is none (or it would be the settings file itself).
    std::string GetDefaultsProfile() const;

    // Writes the key to the settings file. With a defaults file, the "PORTS" entries the
    // settings file lacks are first copied into it (so the first save carries the system-wide
    // ports over; its own entries win and nothing is copied twice). Returns whether the key was
    // written.
    bool saveData(const std::string& sKey, const ProfileValue& sData) const;
    bool loadData(const std::string& sKey, ProfileValue& sData,
                  const std::optional<ProfileValue>& sDefaultData = std::nullopt) const;

    // The device of port number n: the environment variable CALVEXADJ_COM<n>, else the "PORTS"
    // section ("COM1=/dev/ttyS0") of the settings file, else of the defaults file, else
    // /dev/ttyUSB<n-1> (also for an empty entry). The program writes that section only to carry
    // the defaults file's entries over and when the technician picks a device in the serial
    // devices dialog.
    std::string ComPortDevice(int16_t n) const;
    // The environment variable that names port n's device ("CALVEXADJ_COM<n>"), and the device
    // it names; none when it is unset or empty.
    static std::string ComPortVariable(int16_t n);
    static std::optional<std::string> ComPortFromEnvironment(int16_t n);

    static std::string StripTerminator(const std::string& s);
    static std::string GetFileName(std::string strPath);
    static std::string GetPathName(std::string strFilename);
    static std::string UCase16(const std::string& s) { return s; }

  private:
    // The text of key in section: the settings file's, else the defaults file's.
    std::optional<std::string> Lookup(const std::string& section, const std::string& key) const;

    std::string name_ = "Profile.INI";
    std::string path_;
    std::string defaultsPath_;
    std::string section_;
};

// Whether folder is one of the system's: /usr and everything below it, and /bin, /sbin and the
// /lib folders (on many systems the same folders by other names).
bool IsSystemFolder(const std::string& folder);
// Whether the settings may be kept beside the program in exeDir: a folder outside the system's
// that the user running the program owns and may write, such as a build tree or a portable copy.
// An installed program's folder never is, even for root, who owns and may write /usr/bin.
bool SettingsBesideProgram(const std::string& exeDir);

// Where the settings file lives: exeDir when the settings may be kept beside the program
// (besideProgram, and never in a system folder), else $XDG_CONFIG_HOME/calvexadj/, else
// $HOME/.config/calvexadj/. The result ends in "/".
std::string ChooseSettingsDirectory(const std::string& exeDir, bool besideProgram,
                                    const char* xdgConfigHome, const char* home);

// The directory of the running executable (from /proc/self/exe), without a trailing "/".
std::string ExecutableDirectory();

// The text a value is stored as, and the default text of a value (dates differ: stored with the
// "yyyy.mm.dd-hh:mm:ss" pattern, defaulted as general date text). Empty for unknown types.
std::string ProfileSaveText(const ProfileValue& v);
std::string ProfileDefaultText(const ProfileValue& v);

}  // namespace calvex
