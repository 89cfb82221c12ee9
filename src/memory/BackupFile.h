#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "memory/VelkaMemory.h"

namespace calvex {

// The backup file of one transceiver's memory: a short text header, an empty line, then the
// raw image. The header names the radio as its identification answer gives it, the UTC time of
// the read, the program that made it, what the image is (a read and its occasion, or the
// program's image), the image length and a CRC-32 of the image, so that a truncated, altered or
// foreign file is recognised before anything of it is used.
inline constexpr int32_t kBackupImageSize = VelkaMemory::kImageSize;
inline constexpr const char* kBackupExtension = ".vbk";
inline constexpr const char* kBackupMagic = "Calvex ADJ backup 1";

// The radio a backup belongs to.
struct BackupIdentity {
    std::string model;   // 4 hex digits: bytes 4..5 of the identification answer
    std::string sub;     // 4 hex digits: bytes 6..7
    std::string serial;  // bytes 9..16, each not in [0-9A-Za-z] (or missing) as '_'
    std::string answer;  // the whole identification answer, as received

    static BackupIdentity FromAnswer(const std::string& answer);
    // "<model><sub>-<serial>": the radio's history key, how every backup file name of this radio
    // begins. Two radios never share it: the serial's letters and digits stand as they are, any
    // other byte as "=" and its two hex digits, a byte the answer lacks as "=__" (so
    // "2041-773" is "2041=2D773", and "2041/773" is "2041=2F773"). A serial of letters and
    // digits alone is spelt as in every name ever written.
    std::string key() const;
};

// What made a backup file: a read of the radio vouched for in full (on Connect, before a restore
// writes, or the restore's verifying read), a read a restore made of another unit than the one
// read at Connect (refused: nothing was written to it), or the program's image saved by hand,
// which may hold adjustments no read has confirmed.
enum class BackupOrigin { Connect, BeforeRestore, RestoreCheck, OtherUnit, ByHand };

struct BackupRecord {
    BackupIdentity identity;
    int64_t utcSeconds = 0;  // when the image was read, seconds since 1970-01-01 UTC
    std::string program;     // the program that wrote the file
    std::string image;       // kBackupImageSize bytes
    BackupOrigin origin = BackupOrigin::Connect;
};

// Why a file cannot be used; each kind comes with a reason in words.
enum class BackupProblem { None, Foreign, OtherModel, Truncated, Oversized, Corrupt, Unreadable };

struct BackupLoad {
    std::optional<BackupRecord> record;
    BackupProblem problem = BackupProblem::None;
    std::string reason;
    bool usable() const { return record.has_value(); }
};

// CRC-32 (the polynomial of zip and PNG).
uint32_t Crc32(std::string_view bytes);

// "YYYYMMDDTHHMMSSZ" and "YYYY-MM-DDTHH:MM:SSZ"; nothing for a text that is not one.
std::string UtcStamp(int64_t utcSeconds);
std::string UtcIsoTime(int64_t utcSeconds);
std::optional<int64_t> ParseUtcStamp(std::string_view text);
std::optional<int64_t> ParseUtcIsoTime(std::string_view text);

// "<model><sub>-<serial>-<YYYYMMDDTHHMMSSZ>.vbk"; a copy number above 1 (a second image of the
// same radio read within the same second) is added as "-<n>" before the extension.
std::string BackupFileName(const BackupIdentity& id, int64_t utcSeconds, int copy = 1);
struct BackupFileNameParts {
    std::string key;
    int64_t utcSeconds = 0;
    int copy = 1;
    // False for a name written before the key was exact, whose serial holds '_' for any byte
    // that was not a letter or digit: such a name does not tell which radio it belongs to (its
    // contents do).
    bool exactKey = true;
};
// The parts of a name BackupFileName makes, or made before the key was exact; nothing for any
// other name.
std::optional<BackupFileNameParts> ParseBackupFileName(const std::string& name);

// What made the file, as a technician reads it: "Read at Connect", "Read before a restore",
// "Read back after a restore", "Read of another unit, refused", "Saved by hand (program's
// image)".
std::string BackupOriginLabel(BackupOrigin origin);

// A moment as the technician's clock shows it, with UTC beside it:
// "2026-12-10 23:15:04 (22:15:04 UTC)"; the UTC date is added when it is another day.
// localOffsetSeconds: local time minus UTC at that moment.
std::string LocalAndUtcTime(int64_t utcSeconds, int32_t localOffsetSeconds);

// Why the memories of two radios cannot be compared byte for byte (another model or sub code
// lays its memory out otherwise); nothing when they can.
std::optional<std::string> WhyNotComparable(const BackupIdentity& a, const BackupIdentity& b);
// Why a backup cannot be written to the connected transceiver of model and sub code; nothing
// when its model and sub code are those.
std::optional<std::string> WhyNotForRadio(const BackupIdentity& backup, const std::string& model,
                                          const std::string& sub);

std::string FormatBackupFile(const BackupRecord& record);
// Checks the header, the image length, the checksum and the identity (consistent with its
// identification answer, and of expectedModel) before a record is given out. A file without
// "source" (written before it existed) is a read of Connect.
BackupLoad ParseBackupFile(const std::string& contents, const std::string& expectedModel);

}  // namespace calvex
