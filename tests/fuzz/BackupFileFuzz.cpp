// A backup file of any content, and any file name: no fault, and whatever is accepted is a whole
// image whose checksum matches and which reads back the same once written again.
#include <cstdlib>
#include <string>

#include "memory/BackupFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace calvex;
    const std::string text(reinterpret_cast<const char*>(data), size);

    const BackupLoad load = ParseBackupFile(text, "2601");
    if (load.usable() != (load.problem == BackupProblem::None)) std::abort();
    if (load.usable()) {
        const BackupRecord& r = *load.record;
        if (r.image.size() != static_cast<std::size_t>(kBackupImageSize)) std::abort();
        if (r.identity.model != "2601") std::abort();
        if (text.compare(text.size() - r.image.size(), r.image.size(), r.image) != 0) std::abort();
        const BackupLoad again = ParseBackupFile(FormatBackupFile(r), "2601");
        if (!again.usable() || again.record->image != r.image ||
            again.record->identity.answer != r.identity.answer ||
            again.record->utcSeconds != r.utcSeconds || again.record->program != r.program ||
            again.record->origin != r.origin) {
            std::abort();
        }
    } else if (load.reason.empty()) {
        std::abort();
    }

    // The same bytes as a file name: a name that parses is one the program would make, its key
    // (of a length that depends on the serial's bytes) before the time.
    if (const auto parts = ParseBackupFileName(text)) {
        if (text.compare(0, parts->key.size(), parts->key) != 0) std::abort();
        if (UtcStamp(parts->utcSeconds) != text.substr(parts->key.size() + 1, 16)) std::abort();
        if (parts->copy < 1) std::abort();
    }
    return 0;
}
