#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace calvex {

// INI text files in the manner of the platform's private profile functions: "[section]" lines,
// then "key=value" lines; section and key names match without regard to case; blanks around
// names and values are ignored, as are quotes around a whole value; lines starting with ';'
// are comments.

// Copies the value of key in section (or defaultText when the file, the section or the key is
// missing) into out, at most size - 1 characters, and returns the count copied.
int32_t GetPrivateProfileString(const std::string& section, const std::string& key,
                                const std::string& defaultText, std::string& out, int32_t size,
                                const std::string& path);

// The value of key in section (quotes around the whole value removed), or nullopt when the file
// is missing or unreadable, or has no such section or key. A key present with an empty value is
// found: "".
std::optional<std::string> FindPrivateProfileString(const std::string& section,
                                                    const std::string& key,
                                                    const std::string& path);

// Sets key in section to value, keeping every other line of the file as it was, and replaces
// the file atomically: a temporary file beside it is written, flushed and renamed over it, so a
// crash or a full disk never leaves a half-written file. Returns false when nothing was changed
// (unreadable file, unwritable directory, a name or value holding a line break, a failed write).
// beforeRename lets tests interrupt the save after the temporary file is complete: returning
// false abandons it.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path,
                               const std::function<bool()>& beforeRename = {});

// Adds to section of the file at toPath every entry of that section of the file at fromPath
// whose key toPath does not hold there yet: toPath's own entries win and nothing is added twice.
// Values are copied as written. Every other line is kept and the file is replaced atomically in
// one step, as by WritePrivateProfileString; it is not touched when nothing is missing. Returns
// false when toPath could not be read or written (a missing fromPath has nothing to copy).
bool CopyMissingPrivateProfileEntries(const std::string& section, const std::string& fromPath,
                                      const std::string& toPath);

}  // namespace calvex
