#include "memory/BackupKeeper.h"
#include "base/ProgramPlaces.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

#include "base/Common.h"
#include "memory/FileBackupStore.h"

namespace calvex {

namespace {

bool hasBackupExtension(const std::string& name) {
    const std::string ext = kBackupExtension;
    return name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
}

// Newer first: the time, then the copy made within the same second.
bool newer(const BackupFileNameParts& a, const BackupFileNameParts& b) {
    return std::tie(a.utcSeconds, a.copy) > std::tie(b.utcSeconds, b.copy);
}

}  // namespace

BackupKeeper::BackupKeeper()
    : ownStore_(std::make_unique<FileBackupStore>(
          DefaultBackupFolder(EnvironmentValue("XDG_DATA_HOME"), EnvironmentValue("HOME")))),
      ownClock_(std::make_unique<SystemUtcClock>()),
      store_(ownStore_.get()),
      clock_(ownClock_.get()) {}

BackupKeeper::~BackupKeeper() = default;

BackupKeeper::SaveResult BackupKeeper::SaveAfterRead(const std::string& answer,
                                                     const std::string& image,
                                                     BackupOrigin origin) {
    SaveResult result;
    BackupRecord record;
    record.identity = BackupIdentity::FromAnswer(answer);
    record.origin = origin;
    record.utcSeconds = clock_->utcSeconds();
    record.program = kProgramTitle;
    record.image = image;
    const std::string key = record.identity.key();

    const FileResult<std::vector<std::string>> listed = store_->list();
    if (!listed) {
        // Without the folder's names neither the newest backup nor a free name is known.
        result.reason = "cannot be listed: " + listed.reason();
    } else {
        const std::vector<std::string>& names = *listed;
        std::optional<BackupFileNameParts> newest;
        std::string newestName;
        for (const auto& name : names) {
            const auto parts = ParseBackupFileName(name);
            if (parts && HistoryKey(name, *parts) == key && (!newest || newer(*parts, *newest))) {
                newest = parts;
                newestName = name;
            }
        }
        const BackupLoad last = newest ? Load(newestName) : BackupLoad{};
        // Only a read stands for a read: an image saved by hand may hold adjustments no read
        // confirmed, even when its bytes are the same.
        if (last.usable() && last.record->origin != BackupOrigin::ByHand &&
            last.record->image == image) {
            result.outcome = Saved::Unchanged;
            result.name = newestName;
        } else {
            // A second image of the radio within the same second gets a copy number.
            int copy = 1;
            while (std::find(names.begin(), names.end(),
                             BackupFileName(record.identity, record.utcSeconds, copy)) !=
                   names.end())
                ++copy;
            result.name = BackupFileName(record.identity, record.utcSeconds, copy);
            const FileResult<> written = store_->write(result.name, FormatBackupFile(record));
            result.outcome = written ? Saved::New : Saved::Failed;
            result.reason = written.reason();
        }
    }

    lastSave_ = result;
    if (result.outcome == Saved::Failed) {
        // Every read left without a backup is told: the technician may not go on trusting it.
        const std::string folder = store_->folder().empty() ? "(no folder)" : store_->folder();
        reports_.push_back(Report{"Cannot save the backup of the transceiver's memory.",
                                  folder + ": " + result.reason});
        return result;
    }
    if (result.outcome == Saved::Unchanged) {
        Prune(*listed, record.utcSeconds);
    } else if (const auto after = store_->list()) {
        // A folder that cannot be listed now is pruned at a later save.
        Prune(*after, record.utcSeconds);
    }
    return result;
}

std::optional<std::string> BackupKeeper::HistoryKey(const std::string& name,
                                                    const BackupFileNameParts& parts) const {
    if (parts.exactKey) return parts.key;
    // An older name that does not tell the radio apart: its contents do.
    const BackupLoad load = Load(name);
    if (!load.usable()) return std::nullopt;
    return load.record->identity.key();
}

std::optional<BackupKeeper::Report> BackupKeeper::TakeReport() {
    if (reports_.empty()) return std::nullopt;
    Report r = std::move(reports_.front());
    reports_.pop_front();
    return r;
}

void BackupKeeper::Prune(const std::vector<std::string>& names, int64_t now) {
    struct Ends {
        BackupFileNameParts oldest, newest;
    };
    struct Named {
        std::string name;
        BackupFileNameParts parts;
        std::string key;
    };
    std::vector<Named> ours;
    std::map<std::string, Ends> endsOf;
    for (const auto& name : names) {
        const auto parts = ParseBackupFileName(name);
        if (!parts) continue;
        // A clock behind the newest backup cannot tell what is a year old.
        if (parts->utcSeconds > now) return;
        // A file whose radio cannot be told is never touched.
        const auto key = HistoryKey(name, *parts);
        if (!key) continue;
        ours.push_back({name, *parts, *key});
        auto [it, added] = endsOf.emplace(*key, Ends{*parts, *parts});
        if (added) continue;
        if (newer(it->second.oldest, *parts)) it->second.oldest = *parts;
        if (newer(*parts, it->second.newest)) it->second.newest = *parts;
    }
    const auto same = [](const BackupFileNameParts& a, const BackupFileNameParts& b) {
        return a.utcSeconds == b.utcSeconds && a.copy == b.copy;
    };
    for (const Named& n : ours) {
        // The radio as first found and as last read are kept however old.
        const Ends& ends = endsOf.at(n.key);
        if (same(n.parts, ends.oldest) || same(n.parts, ends.newest)) continue;
        // A file that cannot be removed is simply kept.
        if (now - n.parts.utcSeconds > kKeepSeconds) store_->remove(n.name);
    }
}

FileResult<std::vector<BackupKeeper::Entry>> BackupKeeper::List() const {
    struct Sorted {
        std::optional<BackupFileNameParts> parts;
        std::string key;
        Entry entry;
    };
    const auto names = store_->list();
    if (!names) return FileResult<std::vector<Entry>>::Failed(names.reason());
    std::vector<Sorted> all;
    for (const auto& name : *names) {
        if (!hasBackupExtension(name)) continue;
        Sorted s{ParseBackupFileName(name), {}, {name, Load(name)}};
        // The radio of an older name that does not tell it is the one its contents name.
        if (s.parts) {
            s.key = s.parts->exactKey || !s.entry.load.usable()
                        ? s.parts->key
                        : s.entry.load.record->identity.key();
        }
        all.push_back(std::move(s));
    }
    std::sort(all.begin(), all.end(), [](const Sorted& a, const Sorted& b) {
        // Names of ours first, by radio, newest first; any other name after them.
        if (a.parts.has_value() != b.parts.has_value()) return a.parts.has_value();
        if (!a.parts) return a.entry.name < b.entry.name;
        if (a.key != b.key) return a.key < b.key;
        return newer(*a.parts, *b.parts);
    });
    std::vector<Entry> out;
    out.reserve(all.size());
    for (auto& s : all)
        out.push_back(std::move(s.entry));
    return out;
}

namespace {

// A file outside the folder, read as the folder's files are read. Only a regular file is opened:
// a path to a device (a serial port among them) or a pipe is never touched.
FileResult<std::string> ReadOutside(const std::string& path, std::size_t maxBytes) {
    namespace fs = std::filesystem;
    // A missing file is left to the read, which gives the system's reason.
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return FileResult<std::string>::Failed("not a regular file");
    }
    const fs::path p(path);
    return FileBackupStore(p.parent_path().string()).read(p.filename().string(), maxBytes);
}

}  // namespace

BackupLoad BackupKeeper::Load(const std::string& name) const {
    const auto contents =
        IsPath(name) ? ReadOutside(name, kMaxFileBytes) : store_->read(name, kMaxFileBytes);
    if (!contents) {
        BackupLoad load;
        load.problem = BackupProblem::Unreadable;
        load.reason = "cannot be read: " + contents.reason();
        return load;
    }
    if (contents->size() > kMaxFileBytes) {
        BackupLoad load;
        load.problem = BackupProblem::Oversized;
        load.reason = "oversized: more than " + std::to_string(kMaxFileBytes) + " bytes";
        return load;
    }
    return ParseBackupFile(*contents, model_);
}

}  // namespace calvex
