// Backups of completed reads and the verified restore of a backup.
#include "rig/clsIndOp_RigVelka.h"

namespace calvex {

namespace {

constexpr int16_t kCycleStart = 3;
constexpr const char* kCrLf = "\r\n";

}  // namespace

std::optional<std::string> clsIndOp_RigVelka::KeepReadImage(BackupOrigin origin) {
    if (myBackups == nullptr) return std::nullopt;
    return myBackups->verifiedRead(myRadio.eepImage, origin);
}

bool clsIndOp_RigVelka::RigVelkaProp_RestoreAllowed() const {
    return RigVelkaProp_EditEnabled() && procStep == 0 && !restoreActive &&
           !RigVelkaProp_PuttingBack() && !connectAfterPutBack && !portAfterPutBack;
}

bool clsIndOp_RigVelka::RigOpFunc_StartRestore(const std::string& image, const std::string& model,
                                               const std::string& sub) {
    if (!RigVelkaProp_RestoreAllowed() ||
        image.size() != static_cast<std::size_t>(VelkaMemory::kImageSize)) {
        return false;
    }
    restoreImage = image;
    restoreModel = model;
    restoreSub = sub;
    restoreRequest = true;
    restoreActive = true;
    restoreWriteStarted = false;
    restoreBackup.clear();
    return true;
}

bool clsIndOp_RigVelka::RunRestoreState(int16_t& next) {
    switch (opState) {
        case kStateRestoreRead: {
            if (!ReadWholeImage()) return false;
            const std::string& connected = myCln3Seq.boundIdentity();
            const std::string& found = myCln3Seq.identityAnswer();
            // The radio's present memory is kept before anything is written over it; without
            // that backup nothing is written. Another unit's memory is kept too, labelled as
            // what it is: nothing is restored to it.
            const auto kept = KeepReadImage(found == connected ? BackupOrigin::BeforeRestore
                                                               : BackupOrigin::OtherUnit);
            restoreBackup = kept.value_or("");
            if (found != connected) {
                // The restore was asked for the radio read at Connect, and for no other.
                FinishRestore(RestoreResult::Outcome::NotStarted, {},
                              std::string("Cannot restore this backup.") + kCrLf + kCrLf +
                                  "Another transceiver is on the cable: the one read at Connect "
                                  "has serial number " +
                                  BackupIdentity::FromAnswer(connected).serial +
                                  ", the one answering now has serial number " +
                                  BackupIdentity::FromAnswer(found).serial +
                                  ". Nothing was written." + kCrLf + kCrLf +
                                  "Press Connect to read the transceiver on the cable.");
                RigOpFunc_ResetAll();
                return false;
            }
            if (myRadio.radioNameM() != restoreModel || myRadio.radionameS() != restoreSub) {
                FinishRestore(RestoreResult::Outcome::NotStarted, {},
                              std::string("Cannot restore this backup.") + kCrLf + kCrLf +
                                  "It was made of a transceiver with model code " + restoreModel +
                                  " and sub code " + restoreSub +
                                  "; the transceiver connected has model code " +
                                  myRadio.radioNameM() + " and sub code " + myRadio.radionameS() +
                                  ". Nothing was written.");
            } else if (!kept) {
                FinishRestore(RestoreResult::Outcome::NotStarted, {},
                              std::string("The restore was not started.") + kCrLf + kCrLf +
                                  "The transceiver's present memory could not be saved "
                                  "first. Nothing was written.");
            } else {
                next = kStateRestoreWrite;
                return true;
            }
            // Not started: the console goes on with the read just made, as after Connect.
            PrepareAfterRead();
            next = kCycleStart;
            return true;
        }
        case kStateRestoreWrite:
            if (opFirst) {
                myRadio.eepImage.WriteBlock(0, restoreImage);
                restoreWriteStarted = true;
                Started(myCln3Seq.easyCloneWrite());
                return false;
            }
            // A write that failed has been reported and has reset the task: it never gets here.
            next = kStateRestoreVerify;
            return true;
        case kStateRestoreVerify: {
            if (!ReadWholeImage()) return false;
            const bool sameUnit = myCln3Seq.identityAnswer() == myCln3Seq.boundIdentity();
            const auto checked =
                KeepReadImage(sameUnit ? BackupOrigin::RestoreCheck : BackupOrigin::OtherUnit);
            if (!sameUnit) {
                // The cable was moved during the restore: what was read is not its proof.
                AddNote(
                    "The restore could not be verified: another transceiver answered the "
                    "reading back.");
                RigOpFunc_ResetAll();
                return false;
            }
            std::vector<int32_t> differing;
            for (int32_t a = 0; a < VelkaMemory::kImageSize; ++a) {
                if (myRadio.eepImage.ReadByte(a) !=
                    static_cast<uint8_t>(restoreImage[static_cast<std::size_t>(a)])) {
                    differing.push_back(a);
                }
            }
            if (differing.empty()) {
                // The radio's memory is now the one this read found: a procedure cut off from
                // here on names this backup as holding it, not Connect's.
                connectBackup = checked.value_or("");
                FinishRestore(RestoreResult::Outcome::Restored, {},
                              "The backup has been restored: the transceiver's memory matches it "
                              "byte for byte.");
                PrepareAfterRead();
                next = kCycleStart;
                return true;
            }
            const std::string text = std::string(
                                         "The transceiver's memory does not match the "
                                         "backup after the restore.") +
                                     kCrLf + kCrLf +
                                     "Differing addresses: " + AddressList(differing) + kCrLf +
                                     kCrLf + "Connect again to read what the transceiver holds.";
            FinishRestore(RestoreResult::Outcome::Mismatch, std::move(differing), text);
            RigOpFunc_ResetAll();
            return false;
        }
        default:
            return false;
    }
}

void clsIndOp_RigVelka::FinishRestore(RestoreResult::Outcome outcome,
                                      std::vector<int32_t> differing, std::string text) {
    if (!restoreActive) return;
    restoreActive = false;
    restoreRequest = false;
    restoreWriteStarted = false;
    restoreImage.clear();
    if (myBackups != nullptr) {
        myBackups->restoreFinished({outcome, std::move(differing), std::move(text)});
    }
}

}  // namespace calvex
