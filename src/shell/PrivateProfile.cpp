#include "shell/PrivateProfile.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "base/AtomicFile.h"

namespace calvex {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool equalNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The file as lines; nullopt when it exists but cannot be read.
std::optional<std::vector<std::string>> readLines(const std::string& path, bool& crlf,
                                                  bool& endsWithNewline) {
    crlf = false;
    endsWithNewline = true;
    if (::access(path.c_str(), F_OK) != 0) return std::vector<std::string>{};
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) return std::nullopt;
    const std::string content = buf.str();
    crlf = content.find("\r\n") != std::string::npos;
    endsWithNewline = content.empty() || content.back() == '\n';
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        auto nl = content.find('\n', start);
        if (nl == std::string::npos) nl = content.size();
        std::string line = content.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = nl + 1;
    }
    return lines;
}

// The section name of a "[name]" line.
std::optional<std::string> sectionOf(const std::string& line) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string::npos) return std::nullopt;
    return trim(t.substr(1, close - 1));
}

// The key and value of a "key=value" line.
std::optional<std::pair<std::string, std::string>> entryOf(const std::string& line) {
    const std::string t = trim(line);
    if (t.empty() || t.front() == ';') return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return std::make_pair(trim(t.substr(0, eq)), trim(t.substr(eq + 1)));
}

std::string unquote(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// The entries of every "[section]" block, in file order, as written (quotes kept); a key met again
// later is left out, as reading finds the first one.
std::vector<std::pair<std::string, std::string>> entriesOf(const std::vector<std::string>& lines,
                                                           const std::string& section) {
    std::vector<std::pair<std::string, std::string>> entries;
    bool inSection = false;
    for (const auto& line : lines) {
        if (auto name = sectionOf(line)) {
            inSection = equalNoCase(*name, section);
            continue;
        }
        if (!inSection) continue;
        auto entry = entryOf(line);
        if (!entry) continue;
        const bool known = std::any_of(entries.begin(), entries.end(), [&](const auto& e) {
            return equalNoCase(e.first, entry->first);
        });
        if (!known) entries.push_back(std::move(*entry));
    }
    return entries;
}

// Where the first "[section]" block starts and its last non-blank line.
struct SectionPlace {
    std::optional<std::size_t> header, last;
};

SectionPlace placeOf(const std::vector<std::string>& lines, const std::string& section) {
    SectionPlace place;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (auto name = sectionOf(lines[i])) {
            inSection = !place.header && equalNoCase(*name, section);
            if (inSection) place.header = place.last = i;
            continue;
        }
        if (inSection && !trim(lines[i]).empty()) place.last = i;
    }
    return place;
}

// Adds "key=value" lines at the end of the first "[section]" block, or a new block at the end.
void appendEntries(std::vector<std::string>& lines, bool& endsWithNewline,
                   const std::string& section, const std::vector<std::string>& entries) {
    if (const SectionPlace place = placeOf(lines, section); place.header) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*place.last + 1), entries.begin(),
                     entries.end());
    } else {
        lines.push_back("[" + section + "]");
        lines.insert(lines.end(), entries.begin(), entries.end());
        endsWithNewline = true;
    }
}

std::string joinLines(const std::vector<std::string>& lines, bool crlf, bool endsWithNewline) {
    const std::string eol = crlf ? "\r\n" : "\n";
    std::string contents;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        contents += lines[i];
        if (i + 1 < lines.size() || endsWithNewline) contents += eol;
    }
    return contents;
}

}  // namespace

std::optional<std::string> FindPrivateProfileString(const std::string& section,
                                                    const std::string& key,
                                                    const std::string& path) {
    bool crlf = false, endsWithNewline = true;
    const auto lines = readLines(path, crlf, endsWithNewline);
    if (!lines) return std::nullopt;
    for (const auto& [name, value] : entriesOf(*lines, section)) {
        if (equalNoCase(name, key)) return unquote(value);
    }
    return std::nullopt;
}

int32_t GetPrivateProfileString(const std::string& section, const std::string& key,
                                const std::string& defaultText, std::string& out, int32_t size,
                                const std::string& path) {
    const std::string result = FindPrivateProfileString(section, key, path).value_or(defaultText);
    const auto room = static_cast<std::size_t>(std::max<int32_t>(size - 1, 0));
    out = result.substr(0, std::min(result.size(), room));
    return static_cast<int32_t>(out.size());
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path,
                               const std::function<bool()>& beforeRename) {
    const auto hasBreak = [](const std::string& s) {
        return s.find_first_of("\r\n") != std::string::npos;
    };
    if (section.empty() || key.empty() || hasBreak(section) || hasBreak(key) || hasBreak(value) ||
        key.find('=') != std::string::npos || section.find(']') != std::string::npos) {
        return false;
    }
    bool crlf = false, endsWithNewline = true;
    auto read = readLines(path, crlf, endsWithNewline);
    if (!read) return false;  // never overwrite a file we could not read
    auto& lines = *read;

    const std::string entry = key + "=" + value;
    // The key is replaced where the first "[section]" block holds it.
    std::optional<std::size_t> keyLine;
    if (const SectionPlace place = placeOf(lines, section); place.header) {
        for (std::size_t i = *place.header + 1; i <= *place.last && !keyLine; ++i) {
            if (auto e = entryOf(lines[i]); e && equalNoCase(e->first, key)) keyLine = i;
        }
    }
    if (keyLine) {
        lines[*keyLine] = entry;
    } else {
        appendEntries(lines, endsWithNewline, section, {entry});
    }
    return ReplaceFileAtomically(path, joinLines(lines, crlf, endsWithNewline), FileAccess::Usual,
                                 beforeRename)
        .ok();
}

bool CopyMissingPrivateProfileEntries(const std::string& section, const std::string& fromPath,
                                      const std::string& toPath) {
    bool crlf = false, endsWithNewline = true;
    const auto from = readLines(fromPath, crlf, endsWithNewline);
    if (!from) return true;  // nothing readable to copy
    auto to = readLines(toPath, crlf, endsWithNewline);
    if (!to) return false;  // never overwrite a file we could not read

    const auto present = entriesOf(*to, section);
    std::vector<std::string> missing;
    for (const auto& entry : entriesOf(*from, section)) {
        const bool found = std::any_of(present.begin(), present.end(), [&](const auto& e) {
            return equalNoCase(e.first, entry.first);
        });
        if (!found) missing.push_back(entry.first + "=" + entry.second);
    }
    if (missing.empty()) return true;
    appendEntries(*to, endsWithNewline, section, missing);
    return ReplaceFileAtomically(toPath, joinLines(*to, crlf, endsWithNewline)).ok();
}

}  // namespace calvex
