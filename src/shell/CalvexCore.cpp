#include "shell/CalvexCore.h"

#include <limits>

#include "base/Common.h"
#include "memory/VelkaMemory.h"
#include "rig/VelkaCommands.h"
#include "shell/CloneErrorMessage.h"
#include "shell/ProgramInfo.h"
#include "shell/RunGuarded.h"

namespace calvex {

namespace {

// Counts a message box as open for as long as it lives.
class BoxOpen {
  public:
    explicit BoxOpen(int& count) : count_(count) { ++count_; }
    ~BoxOpen() { --count_; }
    BoxOpen(const BoxOpen&) = delete;
    BoxOpen& operator=(const BoxOpen&) = delete;

  private:
    int& count_;
};

// The radio's fixed identity and the one range a clone write sends.
void GiveIdentity(clsCmcRadio& radio) {
    radio.radioNameM(std::string(VelkaMemory::kModelCode));
    radio.radionameS(std::string(VelkaMemory::kSubCode));
    radio.cloneWriteAdrList_Clear();
    radio.cloneWriteAdrList_Add(VelkaMemory::kWriteFirst, VelkaMemory::kWriteLast);
}

}  // namespace

CalvexCore::CalvexCore(ISerialControl& port, ITickSource& ticks, IMessageBox& box,
                       IRigWindow& window)
    : trace(ticks),
      tracedPort_(port, trace),
      com(tracedPort_),
      line(com, ticks, *this),
      seq(line, radio, *this, ticks),
      rig(seq, radio, console, window, ticks),
      box_(box) {
    profMain.SetCurrentPath();
    profMain.Name(kSettingsFileName);
    profMain.Section(kProgramTitle);
    com.saveProfileHook([this] { SaveProfile(); });
    trace.commandNamer(VelkaCommandName);
    trace.heading(ProgramVersionLine() + " ");

    GiveIdentity(radio);
    backups.model(radio.radioNameM());
    rig.RigOpFunc_Backups(this);
    com.comPortNum(1);
    com.comBaud(frmCom::kNormalBaud);
    line.cln3D().Reset();
    com.Reset();

    // The main window's initialisation; the settings file may override both.
    ComPortNo(1);
    ComAutoRelease(0);
}

void CalvexCore::ComPortNo(int16_t port) {
    // What the serial form would refuse is the default port (see the header).
    if (port < frmCom::imdMinComPortNum || port > frmCom::imdmaxComPortNum) port = 1;
    comPortNo_ = port;
    rig.RigOpFunc_SetComPortNo(port);
}

void CalvexCore::ComAutoRelease(int16_t seconds) {
    comAutoRelease_ = seconds;
    // Wider than the menu's 16 bits, so that a hand-edited release time cannot overflow.
    seq.comHoldReload(static_cast<int32_t>(seconds) * 1000);
}

void CalvexCore::saveData(clsCmcProfileIO& prof) const {
    prof.Section(kSettingsSection);
    // A failed save is not reported: the settings only affect the next start.
    prof.saveData("ComPort", comPortNo_);
    prof.saveData("ComAutoRelease", comAutoRelease_);
    // Written once the technician has used the option: a file that never had it stays as it
    // was.
    if (traceKeyUsed_) prof.saveData("WireTrace", int32_t{trace.enabled() ? 1 : 0});
    if (liveKeyUsed_) prof.saveData("LiveReadings", int32_t{LiveReadings() ? 1 : 0});
    if (technicianKeyUsed_) prof.saveData("Technician", technician_);
}

void CalvexCore::loadData(clsCmcProfileIO& prof) {
    prof.Section(kSettingsSection);
    // One variable for both keys: an unreadable value leaves the previous one in it.
    ProfileValue v = int32_t{0};
    const auto narrow = [](const ProfileValue& value, int16_t fallback) {
        const int32_t x = std::get<int32_t>(value);
        return x < std::numeric_limits<int16_t>::min() || x > std::numeric_limits<int16_t>::max()
                   ? fallback
                   : static_cast<int16_t>(x);
    };
    prof.loadData("ComPort", v, int32_t{1});
    ComPortNo(narrow(v, 0));  // beyond 16 bits: out of range like any other, so port 1
    prof.loadData("ComAutoRelease", v, int32_t{0});
    ComAutoRelease(narrow(v, comAutoRelease_));
    v = int32_t{-1};
    prof.loadData("WireTrace", v, int32_t{-1});
    trace.enabled(std::get<int32_t>(v) == 1);
    traceKeyUsed_ = std::get<int32_t>(v) != -1;
    v = int32_t{-1};
    prof.loadData("LiveReadings", v, int32_t{-1});
    rig.RigOpFunc_LiveReadings(std::get<int32_t>(v) == 1);
    liveKeyUsed_ = std::get<int32_t>(v) != -1;
    ProfileValue name = std::string();
    if (prof.loadData("Technician", name, std::string())) {
        technician_ = std::get<std::string>(name);
        technicianKeyUsed_ = !technician_.empty();
    }
}

void CalvexCore::Click(int16_t index) {
    if (index == 0) {
        trace.begin(backups.clock().utcSeconds());
        // A new visit: what the next verified read finds is where the report starts.
        visitFound_.reset();
        visitBackups_.clear();
    }
    rig.RigOpFunc_ClickCmd00(index);
}

void CalvexCore::task() {
    seq.task();
    rig.task();
    if (seq.OpRunning()) seq.task();
    rig.RigOpFunc_SettleSent();
    // Between operations the trace reaches its file; during one it only grows in memory.
    if (!seq.OpRunning()) trace.flush();
    if (auto problem = trace.TakeProblem()) {
        ShowCritical("Cannot write the wire trace; it is not recorded until the next Connect.",
                     *problem);
    }
    ShowPendingReports();
    if (onTaskDone_) onTaskDone_();
}

void CalvexCore::RunTickEvent(const std::function<void()>& event) {
    RunGuarded(box_, event, [this] {
        rig.RigOpFunc_ResetAll();
        return rig.RigOpFunc_TakeNote();
    });
}

void CalvexCore::MsgBoxCloneErr() {
    MsgBoxCloneErr(seq);
}

void CalvexCore::MsgBoxCloneErr(clsCmcCln3Sequence& s) {
    // The reset before the box clears the port's flags; the detail is taken first.
    std::string detail;
    if ((com.errCannotOpen() || com.lineLost()) && !com.openErrorReason().empty()) {
        const std::string& device = com.openErrorDevice();
        const std::string& reason = com.openErrorReason();
        if (portDetail_ && !device.empty()) {
            detail = portDetail_(com.comPortNum(), device, reason);
        } else {
            detail = device.empty() ? reason : device + ": " + reason;
        }
    }
    const BoxOpen open(boxesOpen_);
    calvex::MsgBoxCloneErr(line, s, *this, box_, detail);
}

std::optional<std::string> CalvexCore::verifiedRead(const clsCmcEeprom& image,
                                                    BackupOrigin origin) {
    // The identification answer is the one this read began with.
    const auto saved =
        backups.SaveAfterRead(seq.ansInfo(), image.ReadBlock(0, kBackupImageSize), origin);
    if (origin == BackupOrigin::Connect && !visitFound_) {
        visitFound_ = image.ReadBlock(0, kBackupImageSize);
    }
    if (saved.outcome == BackupKeeper::Saved::Failed) return std::nullopt;
    // Another unit's memory is no part of this radio's visit, nor of its report.
    if (saved.outcome == BackupKeeper::Saved::New && origin != BackupOrigin::OtherUnit) {
        visitBackups_.push_back(saved.name);
    }
    return saved.name;
}

ImageComparison CalvexCore::CompareWithBackup(const BackupRecord& record) const {
    clsCmcEeprom backup;
    backup.WriteBlock(0, record.image);
    return CompareImages(backup, radio.eepImage, rig.RigVelkaOp_ComparedItems());
}

ServiceReport CalvexCore::ReportOfVisit(ServiceVisit facts) const {
    clsCmcEeprom found;
    if (visitFound_) found.WriteBlock(0, *visitFound_);
    const BackupIdentity id = ConnectedIdentity();
    facts.model = id.model;
    facts.sub = id.sub;
    facts.serial = id.serial;
    facts.found = visitFound_ ? &found : nullptr;
    facts.left = &radio.eepImage;
    facts.items = rig.RigVelkaOp_ComparedItems();
    facts.sweeps = rig.RigVelkaProp_SweepCurves();
    facts.backups = visitBackups_;
    return BuildServiceReport(facts);
}

ServiceReport CalvexCore::ReportOfBackups(ServiceVisit facts, const BackupRecord& found,
                                          const BackupRecord& left) const {
    clsCmcEeprom foundImage;
    clsCmcEeprom leftImage;
    foundImage.WriteBlock(0, found.image);
    leftImage.WriteBlock(0, left.image);
    facts.model = found.identity.model;
    facts.sub = found.identity.sub;
    facts.serial = found.identity.serial;
    facts.found = &foundImage;
    facts.left = &leftImage;
    facts.items = rig.RigVelkaOp_ComparedItems();
    facts.sweeps = {};
    facts.readings.clear();
    facts.readingsTime.clear();
    return BuildServiceReport(facts);
}

namespace {

std::string CannotRestoreNow() {
    return std::string("Cannot restore a backup now.") + kCrLf + kCrLf +
           "Connect the transceiver first, and let any procedure end.";
}

}  // namespace

std::optional<std::string> CalvexCore::WhyNotRestorable(const std::string& name,
                                                        const BackupLoad& load) const {
    const std::string cannot = std::string("Cannot restore this backup.") + kCrLf + kCrLf;
    if (!load.usable()) return cannot + name + ": " + load.reason;
    if (!rig.RigVelkaProp_RestoreAllowed()) return CannotRestoreNow();
    if (const auto why =
            WhyNotForRadio(load.record->identity, radio.radioNameM(), radio.radionameS())) {
        return cannot + *why;
    }
    return std::nullopt;
}

bool CalvexCore::StartRestore(const std::string& name) {
    // Refused before the file is read when nothing may be written now.
    if (!rig.RigVelkaProp_RestoreAllowed()) {
        ShowCritical(CannotRestoreNow(), {});
        return false;
    }
    const BackupLoad load = backups.Load(name);
    if (const auto why = WhyNotRestorable(name, load)) {
        ShowCritical(*why, {});
        return false;
    }
    const BackupIdentity& id = load.record->identity;
    return rig.RigOpFunc_StartRestore(load.record->image, id.model, id.sub);
}

void CalvexCore::ShowCritical(const std::string& text, const std::string& detail) {
    const BoxOpen open(boxesOpen_);
    MsgBoxCritical(box_, text, detail);
}

void CalvexCore::ShowPendingReports() {
    // Ticks go on behind an open box; what they find waits until it is closed.
    if (boxesOpen_ > 0) return;
    if (const auto report = backups.TakeReport()) ShowCritical(report->text, report->detail);
    // What a stop or a reset did to the radio, when no error message has carried it.
    if (const std::string note = rig.RigOpFunc_TakeNote(); !note.empty()) ShowCritical(note, {});
    if (restoreDone_) {
        const RestoreResult result = std::move(*restoreDone_);
        restoreDone_.reset();
        if (result.outcome == RestoreResult::Outcome::NotStarted ||
            result.outcome == RestoreResult::Outcome::Mismatch) {
            ShowCritical(result.text, {});
        }
        if (onRestoreDone_) onRestoreDone_(result);
    }
}

bool CalvexCore::RigOpFunc_CheckSubNameLegal(const std::string& subName) {
    return clsIndOp_RigVelka::RigOpFunc_CheckSubNameLegal(subName);
}

}  // namespace calvex
