#include "shell/CommandLine.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "shell/ProgramInfo.h"

namespace calvex {

namespace {

// Qt's own options (QGuiApplication, QApplication): those that take a value, and those that do
// not. Either spelling, -name or --name, is Qt's.
constexpr std::array<std::string_view, 12> kQtValueOptions = {
    "platform",        "platformpluginpath",
    "platformtheme",   "plugin",
    "qwindowgeometry", "qwindowicon",
    "qwindowtitle",    "display",
    "geometry",        "style",
    "stylesheet",      "session"};
constexpr std::array<std::string_view, 3> kQtFlagOptions = {"reverse", "widgetcount", "nograb"};

std::string_view optionName(std::string_view arg) {
    if (arg.starts_with("--")) return arg.substr(2);
    if (arg.starts_with("-")) return arg.substr(1);
    return {};
}

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

CommandLine refuse(const std::string& why) {
    return {CommandLine::Action::Refuse,
            std::string(kProgramCommand) + ": " + why + "\n" + UsageLine() + "\n"};
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            // The first of --help and --version wins, as with most programs.
            if (result.action == CommandLine::Action::Run)
                result = {CommandLine::Action::Help, HelpText()};
            continue;
        }
        if (arg == "--version" || arg == "-v") {
            if (result.action == CommandLine::Action::Run)
                result = {CommandLine::Action::Version, ""};
            continue;
        }
        const std::string_view name = optionName(arg);
        std::string_view bare = name;
        const auto equals = name.find('=');
        if (equals != std::string_view::npos) bare = name.substr(0, equals);
        if (listed(kQtValueOptions, bare)) {
            if (equals == std::string_view::npos) {
                if (i + 1 >= args.size()) return refuse("option '" + arg + "' needs a value");
                ++i;
            }
            continue;
        }
        if (listed(kQtFlagOptions, name)) continue;
        if (name.empty()) return refuse("unexpected argument '" + arg + "'");
        return refuse("unknown option '" + arg + "'");
    }
    return result;
}

std::string UsageLine() {
    return "Usage: " + std::string(kProgramCommand) + " [--help] [--version]";
}

std::string HelpText() {
    return UsageLine() +
           "\n"
           "\n"
           "Service adjustment of the Velka land-mobile FM transceiver through its clone\n"
           "cable on a serial port. The program opens its window; the port is chosen under\n"
           "Option > Port, and Connect reads the radio.\n"
           "\n"
           "Options:\n"
           "  -h, --help      print this help and exit\n"
           "  -v, --version   print the version and the licence, and exit\n"
           "\n"
           "Qt's window options (-platform NAME, -style NAME, -reverse, ...) are accepted.\n"
           "\n"
           "Files:\n"
           "  CALVEXADJ.rs     the settings, beside the program or in\n"
           "                   $XDG_CONFIG_HOME/calvexadj (~/.config/calvexadj)\n"
           "  Const.ini        the unit's reference oscillator constants, in the folder the\n"
           "                   program starts from or in $XDG_CONFIG_HOME/calvexadj\n"
           "  backups/         every read of a radio, in $XDG_DATA_HOME/calvexadj\n"
           "                   (~/.local/share/calvexadj)\n"
           "  traces/          wire traces, when recorded, in $XDG_STATE_HOME/calvexadj\n"
           "                   (~/.local/state/calvexadj)\n"
           "\n"
           "The user guide is installed as /usr/share/doc/calvexadj/GUIDE.md and opens from\n"
           "Help > User guide.\n";
}

std::string VersionText(const std::string& qtVersion) {
    return ProgramVersionLine() + "\nQt " + qtVersion + "\n" +
           "Licence: " + std::string(kProgramLicence) + " (" + std::string(kProgramLicenceName) +
           ")\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

std::string NoDisplayLine() {
    return std::string(kProgramCommand) +
           ": no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
           "start it from a desktop session";
}

bool DisplayNamed(const char* qpaPlatform, const char* display, const char* waylandDisplay) {
    const auto set = [](const char* v) { return v != nullptr && *v != '\0'; };
    return set(qpaPlatform) || set(display) || set(waylandDisplay);
}

}  // namespace calvex
