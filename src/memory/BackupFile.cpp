#include "memory/BackupFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>

#include "base/Common.h"

namespace calvex {

namespace {

constexpr std::size_t kSerialFirst = 8;  // byte 9, 0-based
constexpr std::size_t kSerialLength = 8;
// No header comes near this; a file without its end here is no backup.
constexpr std::size_t kHeaderMax = 4096;

const char* const kKeys[] = {"program",        "model", "sub",    "serial",
                             "identification", "time",  "length", "crc32"};

bool isAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isHex4(std::string_view s) {
    return s.size() == 4 && IsUpperHex(s);
}

bool isHex2(std::string_view s) {
    return s.size() == 2 && IsUpperHex(s);
}

// Digits only, the whole text, within [min, max].
std::optional<int> number(std::string_view s, int min, int max) {
    if (s.empty()) return std::nullopt;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < min || v > max) {
        return std::nullopt;
    }
    return v;
}

std::optional<int64_t> secondsOf(int y, int mo, int d, int h, int mi, int s) {
    using namespace std::chrono;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)},
                             day{static_cast<unsigned>(d)}};
    if (!ymd.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;
    const auto days = sys_days{ymd}.time_since_epoch().count();
    return int64_t{days} * 86400 + h * 3600 + mi * 60 + s;
}

struct Civil {
    int y, mo, d, h, mi, s;
};

Civil civilOf(int64_t utcSeconds) {
    using namespace std::chrono;
    int64_t days = utcSeconds / 86400;
    int64_t rest = utcSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const year_month_day ymd{sys_days{std::chrono::days{days}}};
    return {static_cast<int>(ymd.year()),
            static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())),
            static_cast<int>(rest / 3600),
            static_cast<int>(rest / 60 % 60),
            static_cast<int>(rest % 60)};
}

// How each origin is written: what the image is of and, for a read, on which occasion.
struct OriginText {
    BackupOrigin origin;
    const char* source;
    const char* occasion;  // none for the program's image
};
constexpr OriginText kOrigins[] = {
    {BackupOrigin::Connect, "read", "connect"},
    {BackupOrigin::BeforeRestore, "read", "before-restore"},
    {BackupOrigin::RestoreCheck, "read", "restore-check"},
    {BackupOrigin::OtherUnit, "read", "other-unit"},
    {BackupOrigin::ByHand, "program", nullptr},
};

const OriginText& textOf(BackupOrigin origin) {
    for (const OriginText& t : kOrigins) {
        if (t.origin == origin) return t;
    }
    return kOrigins[0];
}

BackupLoad refused(BackupProblem problem, std::string reason) {
    BackupLoad load;
    load.problem = problem;
    load.reason = std::move(reason);
    return load;
}

}  // namespace

BackupIdentity BackupIdentity::FromAnswer(const std::string& answer) {
    BackupIdentity id;
    const auto codeAt = [&answer](std::size_t first) {
        return answer.size() >= first + 2 ? ByteStrToHexStr(answer.substr(first, 2))
                                          : std::string("0000");
    };
    id.model = codeAt(3);
    id.sub = codeAt(5);
    id.serial.assign(kSerialLength, '_');
    for (std::size_t k = 0; k < kSerialLength; ++k) {
        const std::size_t at = kSerialFirst + k;
        if (at < answer.size() && isAlnum(answer[at])) id.serial[k] = answer[at];
    }
    id.answer = answer;
    return id;
}

std::string BackupIdentity::key() const {
    std::string spelt;
    for (std::size_t k = 0; k < kSerialLength; ++k) {
        const std::size_t at = kSerialFirst + k;
        if (at >= answer.size()) {
            spelt += "=__";
        } else if (isAlnum(answer[at])) {
            spelt += answer[at];
        } else {
            spelt += "=" + UIntToHex(static_cast<unsigned char>(answer[at]), 2);
        }
    }
    return model + sub + "-" + spelt;
}

uint32_t Crc32(std::string_view bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes)
        crc = table[(crc ^ b) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string UtcStamp(int64_t utcSeconds) {
    const Civil c = civilOf(utcSeconds);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02dZ", c.y, c.mo, c.d, c.h, c.mi, c.s);
    return buf;
}

std::string UtcIsoTime(int64_t utcSeconds) {
    const Civil c = civilOf(utcSeconds);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", c.y, c.mo, c.d, c.h, c.mi,
                  c.s);
    return buf;
}

std::optional<int64_t> ParseUtcStamp(std::string_view t) {
    if (t.size() != 16 || t[8] != 'T' || t[15] != 'Z') return std::nullopt;
    const auto y = number(t.substr(0, 4), 0, 9999);
    const auto mo = number(t.substr(4, 2), 1, 12);
    const auto d = number(t.substr(6, 2), 1, 31);
    const auto h = number(t.substr(9, 2), 0, 23);
    const auto mi = number(t.substr(11, 2), 0, 59);
    const auto s = number(t.substr(13, 2), 0, 59);
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    return secondsOf(*y, *mo, *d, *h, *mi, *s);
}

std::optional<int64_t> ParseUtcIsoTime(std::string_view t) {
    if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
        t[16] != ':' || t[19] != 'Z') {
        return std::nullopt;
    }
    const std::string compact = std::string(t.substr(0, 4)) + std::string(t.substr(5, 2)) +
                                std::string(t.substr(8, 2)) + "T" + std::string(t.substr(11, 2)) +
                                std::string(t.substr(14, 2)) + std::string(t.substr(17, 2)) + "Z";
    return ParseUtcStamp(compact);
}

std::string BackupFileName(const BackupIdentity& id, int64_t utcSeconds, int copy) {
    std::string name = id.key() + "-" + UtcStamp(utcSeconds);
    if (copy > 1) name += "-" + std::to_string(copy);
    return name + kBackupExtension;
}

std::optional<BackupFileNameParts> ParseBackupFileName(const std::string& name) {
    // 8 hex digits, '-', the serial's 8 bytes as the key spells them, '-', 16 stamp characters.
    const std::string ext = kBackupExtension;
    if (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext))
        return std::nullopt;
    const std::string_view n(std::string_view(name).substr(0, name.size() - ext.size()));
    if (n.size() < 9 || !isHex4(n.substr(0, 4)) || !isHex4(n.substr(4, 4)) || n[8] != '-') {
        return std::nullopt;
    }
    BackupFileNameParts parts;
    std::size_t at = 9;
    for (std::size_t k = 0; k < kSerialLength; ++k) {
        if (at >= n.size()) return std::nullopt;
        const char c = n[at];
        if (isAlnum(c)) {
            ++at;
        } else if (c == '_') {
            // Written before the key was exact: any byte but a letter or digit.
            parts.exactKey = false;
            ++at;
        } else if (c == '=' && at + 2 < n.size() &&
                   ((n[at + 1] == '_' && n[at + 2] == '_') || isHex2(n.substr(at + 1, 2)))) {
            at += 3;
        } else {
            return std::nullopt;
        }
    }
    if (at >= n.size() || n[at] != '-') return std::nullopt;
    parts.key = name.substr(0, at);
    const auto t = ParseUtcStamp(n.substr(at + 1, 16));
    if (!t) return std::nullopt;
    parts.utcSeconds = *t;
    const std::string_view rest = n.substr(std::min(n.size(), at + 1 + 16));
    if (!rest.empty()) {
        // Only "-2", "-3", ...: the first copy has no number.
        const auto copy = rest.size() >= 2 && rest[0] == '-' && rest[1] != '0'
                              ? number(rest.substr(1), 2, 1000000)
                              : std::nullopt;
        if (!copy) return std::nullopt;
        parts.copy = *copy;
    }
    return parts;
}

std::string BackupOriginLabel(BackupOrigin origin) {
    switch (origin) {
        case BackupOrigin::Connect:
            return "Read at Connect";
        case BackupOrigin::BeforeRestore:
            return "Read before a restore";
        case BackupOrigin::RestoreCheck:
            return "Read back after a restore";
        case BackupOrigin::OtherUnit:
            return "Read of another unit, refused";
        case BackupOrigin::ByHand:
            break;
    }
    return "Saved by hand (program's image)";
}

std::string LocalAndUtcTime(int64_t utcSeconds, int32_t localOffsetSeconds) {
    const Civil local = civilOf(utcSeconds + localOffsetSeconds);
    const Civil utc = civilOf(utcSeconds);
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d (", local.y, local.mo, local.d,
                  local.h, local.mi, local.s);
    std::string text = buf;
    if (utc.y != local.y || utc.mo != local.mo || utc.d != local.d) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d ", utc.y, utc.mo, utc.d);
        text += buf;
    }
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d UTC)", utc.h, utc.mi, utc.s);
    return text + buf;
}

namespace {

std::string modelText(const std::string& model, const std::string& sub) {
    return "model code " + model + " and sub code " + sub;
}

}  // namespace

std::optional<std::string> WhyNotComparable(const BackupIdentity& a, const BackupIdentity& b) {
    if (a.model == b.model && a.sub == b.sub) return std::nullopt;
    return "The two backups are of different transceiver models (" + modelText(a.model, a.sub) +
           "; " + modelText(b.model, b.sub) + "): their memories are not laid out alike.";
}

std::optional<std::string> WhyNotForRadio(const BackupIdentity& backup, const std::string& model,
                                          const std::string& sub) {
    if (backup.model == model && backup.sub == sub) return std::nullopt;
    return "It was made of a transceiver with " + modelText(backup.model, backup.sub) +
           "; the transceiver connected has " + modelText(model, sub) + ".";
}

std::string FormatBackupFile(const BackupRecord& r) {
    const std::string crc = UIntToHex(Crc32(r.image), 8);
    std::string text = std::string(kBackupMagic) + "\n";
    text += "program: " + r.program + "\n";
    const OriginText& origin = textOf(r.origin);
    text += std::string("source: ") + origin.source + "\n";
    if (origin.occasion != nullptr) text += std::string("occasion: ") + origin.occasion + "\n";
    text += "model: " + r.identity.model + "\n";
    text += "sub: " + r.identity.sub + "\n";
    text += "serial: " + r.identity.serial + "\n";
    text += "identification: " + ByteStrToHexStr(r.identity.answer) + "\n";
    text += "time: " + UtcIsoTime(r.utcSeconds) + "\n";
    text += "length: " + std::to_string(r.image.size()) + "\n";
    text += std::string("crc32: ") + crc + "\n";
    text += "\n";
    return text + r.image;
}

BackupLoad ParseBackupFile(const std::string& contents, const std::string& expectedModel) {
    const std::string magic = std::string(kBackupMagic) + "\n";
    if (contents.compare(0, magic.size(), magic) != 0) {
        return refused(BackupProblem::Foreign, "not a backup file of this program");
    }
    const auto end = contents.find("\n\n", magic.size() - 1);
    if (end == std::string::npos || end > kHeaderMax) {
        return refused(BackupProblem::Truncated, "the header has no end");
    }
    std::map<std::string, std::string> fields;
    for (std::size_t at = magic.size(); at <= end;) {
        const auto nl = contents.find('\n', at);
        const std::string line = contents.substr(at, nl - at);
        at = nl + 1;
        const auto colon = line.find(": ");
        if (colon == std::string::npos) {
            return refused(BackupProblem::Corrupt, "a header line is not \"name: value\"");
        }
        const std::string key = line.substr(0, colon);
        if (!fields.emplace(key, line.substr(colon + 2)).second) {
            return refused(BackupProblem::Corrupt, "the header names \"" + key + "\" twice");
        }
    }
    for (const char* key : kKeys) {
        if (fields.count(key) == 0) {
            return refused(BackupProblem::Corrupt, std::string("the header lacks \"") + key + "\"");
        }
    }

    const auto length = number(fields["length"], 0, 1 << 30);
    if (!length) return refused(BackupProblem::Corrupt, "the image length is not a number");
    if (*length != kBackupImageSize) {
        return refused(BackupProblem::Foreign, "the image holds " + fields["length"] +
                                                   " bytes, not " +
                                                   std::to_string(kBackupImageSize));
    }
    const std::size_t have = contents.size() - (end + 2);
    if (have < static_cast<std::size_t>(kBackupImageSize)) {
        return refused(BackupProblem::Truncated, "truncated: " + std::to_string(have) + " of " +
                                                     std::to_string(kBackupImageSize) +
                                                     " image bytes");
    }
    if (have > static_cast<std::size_t>(kBackupImageSize)) {
        return refused(BackupProblem::Oversized,
                       "oversized: " + std::to_string(have) + " bytes after the header, " +
                           std::to_string(kBackupImageSize) + " expected");
    }
    BackupRecord r;
    r.image = contents.substr(end + 2);
    const std::string crc = UIntToHex(Crc32(r.image), 8);
    if (fields["crc32"] != crc) {
        return refused(BackupProblem::Corrupt, "the checksum does not match the image");
    }

    const auto answer = HexToBytesStrict(fields["identification"]);
    if (!answer) {
        return refused(BackupProblem::Corrupt, "the identification answer is not hex");
    }
    r.identity = BackupIdentity::FromAnswer(*answer);
    if (!isHex4(fields["model"]) || !isHex4(fields["sub"]) || r.identity.model != fields["model"] ||
        r.identity.sub != fields["sub"] || r.identity.serial != fields["serial"]) {
        return refused(BackupProblem::Corrupt,
                       "the identity in the header does not match its identification answer");
    }
    if (r.identity.model != expectedModel) {
        return refused(BackupProblem::OtherModel,
                       "a backup of another transceiver model (" + r.identity.model + ")");
    }
    const auto time = ParseUtcIsoTime(fields["time"]);
    if (!time) return refused(BackupProblem::Corrupt, "the time is not a UTC time");
    r.utcSeconds = *time;
    r.program = fields["program"];

    // Files written before these fields existed hold the read of Connect.
    const auto source = fields.find("source");
    const auto occasion = fields.find("occasion");
    if (source == fields.end() || source->second == "read") {
        if (occasion != fields.end()) {
            const auto* named = std::find_if(
                std::begin(kOrigins), std::end(kOrigins), [&occasion](const OriginText& t) {
                    return t.occasion != nullptr && occasion->second == t.occasion;
                });
            if (named == std::end(kOrigins)) {
                return refused(
                    BackupProblem::Corrupt,
                    "the occasion is not connect, before-restore, restore-check or other-unit");
            }
            r.origin = named->origin;
        }
    } else if (source->second == "program") {
        if (occasion != fields.end()) {
            return refused(BackupProblem::Corrupt, "the program's image names an occasion");
        }
        r.origin = BackupOrigin::ByHand;
    } else {
        return refused(BackupProblem::Corrupt, "the source is neither read nor program");
    }

    BackupLoad load;
    load.record = std::move(r);
    return load;
}

}  // namespace calvex
