#pragma once

#include <string>
#include <vector>

namespace calvex {

// What the command line asks of the program. Help and the version are printed with no window
// and no display; anything the program does not know is refused with the usage line.
struct CommandLine {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    // Help, Version: the text for the standard output. Refuse: the lines for the standard error.
    std::string text;
};

// args: the arguments after the program's name. Qt's own window options (-platform NAME,
// -style NAME, -reverse and the like) are left to Qt.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// "Usage: calvexadj [--help] [--version]".
std::string UsageLine();
// The whole --help text. qtVersion is the Qt library's version the program runs with.
std::string HelpText();
std::string VersionText(const std::string& qtVersion);

// The one line told when the program was started with no display to show its window on.
std::string NoDisplayLine();
// True when a window can be asked for: a platform chosen (QT_QPA_PLATFORM), or an X11 or
// Wayland display named. Values of the environment, null when unset.
bool DisplayNamed(const char* qpaPlatform, const char* display, const char* waylandDisplay);

}  // namespace calvex
