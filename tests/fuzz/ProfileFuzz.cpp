// The settings file reader and writer on any file content: no fault, the reader never
// returns more than it may, and a value written reads back.
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz/FuzzInput.h"
#include "shell/PrivateProfile.h"

namespace {

std::string Dir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/calvex-fuzz-profile-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        if (made == nullptr) std::abort();
        return std::string(made);
    }();
    return dir;
}

bool Printable(const std::string& s) {
    for (char c : s) {
        if (c == '\r' || c == '\n' || c == '\0' || c == '=' || c == '[' || c == ']' || c == ';')
            return false;
    }
    // Blanks around names and values are not part of them.
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    return !s.empty() && !blank(s.front()) && !blank(s.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace calvex;
    fuzz::FuzzInput in(data, size);
    const std::string section = in.bytes(in.pick(8));
    const std::string key = in.bytes(in.pick(8));
    const std::string value = in.bytes(in.pick(16));
    const std::string content = in.rest();
    const std::string path = Dir() + "/CALVEXADJ.rs";
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f << content;
    }
    std::string out;
    const int32_t n = GetPrivateProfileString(section, key, "dflt", out, 255, path);
    if (n < 0 || n > 254 || static_cast<std::size_t>(n) != out.size()) std::abort();
    (void)FindPrivateProfileString(section, key, path);

    // Quotes around a whole value are not part of it, as blanks are not.
    if (Printable(section) && Printable(key) && Printable(value) && value.front() != '"' &&
        value.front() != '\'') {
        if (WritePrivateProfileString(section, key, value, path)) {
            const auto back = FindPrivateProfileString(section, key, path);
            if (!back || *back != value) std::abort();
        }
    }
    return 0;
}
