// Backups of completed reads and the verified restore of a backup.
#include "rig/clsIndOp_RigVelka.h"

namespace calvex {

std::optional<std::string> clsIndOp_RigVelka::KeepReadImage(BackupOrigin origin) {
    if (myBackups == nullptr) return std::nullopt;
    return myBackups->verifiedRead(myRadio.eepImage, origin);
}

bool clsIndOp_RigVelka::RigVelkaProp_RestoreAllowed() const {
    return RigVelkaProp_EditEnabled() && procStep == 0 && !RigVelkaProp_Restoring() &&
           !RigVelkaProp_PuttingBack() && !connectAfterPutBack && !portAfterPutBack;
}

bool clsIndOp_RigVelka::RigOpFunc_StartRestore(const std::string& image, const std::string& model,
                                               const std::string& sub) {
    if (!RigVelkaProp_RestoreAllowed() ||
        image.size() != static_cast<std::size_t>(VelkaMemory::kImageSize)) {
        return false;
    }
    restore.emplace(image, model, sub, myBackups);
    return true;
}

void clsIndOp_RigVelka::StartCloneWrite(const std::string& image) {
    myRadio.eepImage.WriteBlock(0, image);
    Started(myCln3Seq.easyCloneWrite());
}

bool clsIndOp_RigVelka::RunRestoreState(int16_t& next) {
    using Step = RestoreOperation::Step;
    switch (restore->Run(*this, opFirst)) {
        case Step::Running:
            return false;
        case Step::Next:
            next = kStateRestore;
            return true;
        case Step::Console:
            // The radio's memory is now the one the verifying read found: a procedure cut off
            // from here on names that backup as holding it, not Connect's.
            if (const auto& verified = restore->verifiedBackup()) connectBackup = *verified;
            restore.reset();
            PrepareAfterRead();
            next = kStateCycleStart;
            return true;
        case Step::Reset:
            RigOpFunc_ResetAll();
            return false;
    }
    return false;
}

}  // namespace calvex
