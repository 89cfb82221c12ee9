#include "rig/RestoreOperation.h"

#include <utility>

#include "base/Common.h"
#include "memory/VelkaMemory.h"
#include "rig/ImageComparison.h"

namespace calvex {

RestoreOperation::RestoreOperation(std::string image, std::string model, std::string sub,
                                   IRigBackups* backups)
    : image_(std::move(image)), model_(std::move(model)), sub_(std::move(sub)), backups_(backups) {}

void RestoreOperation::Begin() {
    if (state_ == State::Asked) state_ = State::ReadBefore;
}

RestoreOperation::Step RestoreOperation::Run(Host& host, bool first) {
    switch (state_) {
        case State::Asked:
        case State::Ended:
            return Step::Running;
        case State::ReadBefore:
            if (!host.ReadWholeImage(first)) return Step::Running;
            return ReadBefore(host);
        case State::Write:
            if (first) {
                writeStarted_ = true;
                host.StartCloneWrite(image_);
                return Step::Running;
            }
            // A write that failed has been reported and has reset the task: it never gets here.
            state_ = State::Verify;
            return Step::Next;
        case State::Verify:
            if (!host.ReadWholeImage(first)) return Step::Running;
            return Verify(host);
    }
    return Step::Running;
}

RestoreOperation::Step RestoreOperation::ReadBefore(Host& host) {
    const std::string& connected = host.ConnectedIdentity();
    const std::string& found = host.AnsweredIdentity();
    // The radio's present memory is kept before anything is written over it; without that
    // backup nothing is written. Another unit's memory is kept too, labelled as what it is:
    // nothing is restored to it.
    const auto kept = host.KeepReadImage(found == connected ? BackupOrigin::BeforeRestore
                                                            : BackupOrigin::OtherUnit);
    backupBefore_ = kept.value_or("");
    if (found != connected) {
        // The restore was asked for the radio read at Connect, and for no other.
        Finish(RestoreResult::Outcome::NotStarted, {},
               std::string("Cannot restore this backup.") + kCrLf + kCrLf +
                   "Another transceiver is on the cable: the one read at Connect has serial "
                   "number " +
                   BackupIdentity::FromAnswer(connected).serial +
                   ", the one answering now has serial number " +
                   BackupIdentity::FromAnswer(found).serial + ". Nothing was written." + kCrLf +
                   kCrLf + "Press Connect to read the transceiver on the cable.");
        return Step::Reset;
    }
    if (host.RadioModel() != model_ || host.RadioSub() != sub_) {
        Finish(RestoreResult::Outcome::NotStarted, {},
               std::string("Cannot restore this backup.") + kCrLf + kCrLf +
                   "It was made of a transceiver with model code " + model_ + " and sub code " +
                   sub_ + "; the transceiver connected has model code " + host.RadioModel() +
                   " and sub code " + host.RadioSub() + ". Nothing was written.");
        // Not started: the console goes on with the read just made, as after Connect.
        return Step::Console;
    }
    if (!kept) {
        Finish(RestoreResult::Outcome::NotStarted, {},
               std::string("The restore was not started.") + kCrLf + kCrLf +
                   "The transceiver's present memory could not be saved first. Nothing was "
                   "written.");
        return Step::Console;
    }
    state_ = State::Write;
    return Step::Next;
}

RestoreOperation::Step RestoreOperation::Verify(Host& host) {
    const bool sameUnit = host.AnsweredIdentity() == host.ConnectedIdentity();
    const auto checked =
        host.KeepReadImage(sameUnit ? BackupOrigin::RestoreCheck : BackupOrigin::OtherUnit);
    if (!sameUnit) {
        // The cable was moved during the restore: what was read is not its proof. The reset that
        // follows reports the restore as not completed.
        host.AddNote(
            "The restore could not be verified: another transceiver answered the reading back.");
        return Step::Reset;
    }
    std::vector<int32_t> differing;
    for (int32_t a = 0; a < VelkaMemory::kImageSize; ++a) {
        if (host.ImageByte(a) != static_cast<uint8_t>(image_[static_cast<std::size_t>(a)])) {
            differing.push_back(a);
        }
    }
    if (differing.empty()) {
        verifiedBackup_ = checked.value_or("");
        Finish(RestoreResult::Outcome::Restored, {},
               "The backup has been restored: the transceiver's memory matches it byte for byte.");
        return Step::Console;
    }
    const std::string text =
        std::string("The transceiver's memory does not match the backup after the restore.") +
        kCrLf + kCrLf + "Differing addresses: " + AddressList(differing) + kCrLf + kCrLf +
        "Connect again to read what the transceiver holds.";
    Finish(RestoreResult::Outcome::Mismatch, std::move(differing), text);
    return Step::Reset;
}

void RestoreOperation::Abandon(Host& host) {
    if (!active()) return;
    if (writeStarted_) {
        std::string text =
            "The restore did not complete: the transceiver may hold part of the backup.";
        text += backupBefore_.empty()
                    ? std::string(" No backup of its memory from before the restore was kept.")
                    : " Its memory from before the restore is kept in the backup " + backupBefore_ +
                          ".";
        text += " Connect, then restore again.";
        host.AddNote(text);
        Finish(RestoreResult::Outcome::Failed, {}, text);
    } else {
        Finish(RestoreResult::Outcome::Failed, {},
               "The restore was stopped before anything was written. The transceiver's memory "
               "is unchanged.");
    }
}

void RestoreOperation::Finish(RestoreResult::Outcome outcome, std::vector<int32_t> differing,
                              std::string text) {
    if (!active()) return;
    state_ = State::Ended;
    image_.clear();
    if (backups_ != nullptr)
        backups_->restoreFinished({outcome, std::move(differing), std::move(text)});
}

}  // namespace calvex
