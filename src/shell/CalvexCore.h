#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/IMessageBox.h"
#include "clone/CloneLine.h"
#include "clone/IComHost.h"
#include "clone/ISequencerHost.h"
#include "clone/TracingSerialControl.h"
#include "clone/WireTrace.h"
#include "clone/clsCmcCln3Sequence.h"
#include "console/clsConsole.h"
#include "link/ISerialControl.h"
#include "link/ITickSource.h"
#include "link/frmCom.h"
#include "memory/BackupKeeper.h"
#include "memory/clsCmcRadio.h"
#include "rig/IRigBackups.h"
#include "rig/IRigWindow.h"
#include "rig/ImageComparison.h"
#include "rig/ServiceReport.h"
#include "rig/clsIndOp_RigVelka.h"
#include "shell/IRigReset.h"
#include "shell/clsCmcProfileIO.h"

namespace calvex {

// The program without its window: the objects that exist once for the whole process, wired as
// start-up wires them, and the main window's non-visual half (its two settings, the task chain
// run by every tick, the clone error report). The desktop program and the tests build one over
// their own serial control, clock, message box and window controls.
class CalvexCore final : public IComHost,
                         public ISequencerHost,
                         public IRigReset,
                         public IRigBackups {
  public:
    static constexpr const char* kSettingsFileName = "CALVEXADJ.rs";
    static constexpr const char* kSettingsSection = "OPTION";

    CalvexCore(ISerialControl& port, ITickSource& ticks, IMessageBox& box, IRigWindow& window);
    CalvexCore(const CalvexCore&) = delete;
    CalvexCore& operator=(const CalvexCore&) = delete;

    // The port number: 1..4 from the menu, up to frmCom::imdmaxComPortNum from the settings
    // file. Any number the serial form would refuse (0, negative, too large, an unreadable
    // setting) becomes the default port 1, so that the label, the menu mark, the port opened and
    // the value saved always agree. A change abandons what the transceiver was doing.
    int16_t ComPortNo() const { return comPortNo_; }
    void ComPortNo(int16_t port);
    // Automatic port release in seconds, 0 (OFF) .. 5 in the menu.
    int16_t ComAutoRelease() const { return comAutoRelease_; }
    void ComAutoRelease(int16_t seconds);
    // Option > Record wire trace (saved; off unless the technician turns it on).
    bool RecordWireTrace() const { return trace.enabled(); }
    void RecordWireTrace(bool on) {
        trace.enabled(on);
        traceKeyUsed_ = true;
    }

    // Option > Live readings (saved; off unless the technician turns it on).
    bool LiveReadings() const { return rig.RigVelkaProp_LiveReadings(); }
    void LiveReadings(bool on) {
        rig.RigOpFunc_LiveReadings(on);
        liveKeyUsed_ = true;
    }

    // Option > Technician: the name the service report gives (saved once set).
    const std::string& Technician() const { return technician_; }
    void Technician(const std::string& name) {
        technician_ = name;
        technicianKeyUsed_ = true;
    }

    // This visit: from the last Connect, the verified read it made (the values found) and the
    // backups made since. The report compares the program's image with what was found.
    const std::optional<std::string>& VisitFound() const { return visitFound_; }
    const std::vector<std::string>& VisitBackups() const { return visitBackups_; }
    // The visit's report: identity, items found and left, TXF and sweeps, the readings, the
    // backups; the desktop adds the texts it knows (times, technician, constants).
    ServiceReport ReportOfVisit(ServiceVisit facts) const;
    // An earlier visit's report from two backups of one radio: found the older, left the newer.
    // The facts bring the texts (times, names, what each backup is).
    ServiceReport ReportOfBackups(ServiceVisit facts, const BackupRecord& found,
                                  const BackupRecord& left) const;

    // A click on one of the three main buttons (0 Connect: a new wire trace file begins).
    void Click(int16_t index);
    // The program ends: what the trace holds reaches its file.
    void Finish() { trace.flush(); }

    // The settings file object; start-up points it at the file beside the executable, or at the
    // user's file with the one beside the executable as defaults (see clsCmcProfileIO).
    clsCmcProfileIO profMain;
    void saveData(clsCmcProfileIO& prof) const;
    void loadData(clsCmcProfileIO& prof);
    void SaveProfile() { saveData(profMain); }
    void LoadProfile() { loadData(profMain); }

    // Runs after every pass of the task chain (the window refreshes its menu marks and port
    // label there).
    void onTaskDone(std::function<void()> hook) { onTaskDone_ = std::move(hook); }

    // One pass of the application task: sequencer, transceiver task, the sequencer again while
    // an operation runs.
    void task() override;
    // Runs an event of the tick chain (the timer's tick, the port's receive event). A run-time
    // error in it is reported once and leaves the system idle: the procedure or operation that
    // threw is stopped and the port closed, as after a clone error.
    void RunTickEvent(const std::function<void()>& event);
    // The timer's tick, guarded so.
    void Tick() {
        RunTickEvent([this] { line.timSolid_Timer(); });
    }
    // Explains the current communication fault, after resetting the transceiver object.
    void MsgBoxCloneErr() override;
    // Composes the detail shown for a port that cannot be opened or was lost, from the port
    // number, the device and the system's reason; without one it is "device: reason".
    using PortDetail = std::function<std::string(int16_t port, const std::string& device,
                                                 const std::string& reason)>;
    void portDetail(PortDetail compose) { portDetail_ = std::move(compose); }
    void MsgBoxCloneErr(clsCmcCln3Sequence& seq) override;
    bool RigOpFunc_CheckSubNameLegal(const std::string& subName) override;
    void RigOpFunc_ResetAll() override { rig.RigOpFunc_ResetAll(); }
    std::string RigOpFunc_TakeResetNote() override { return rig.RigOpFunc_TakeNote(); }

    // Every byte on the line while Option > Record wire trace is on (see WireTrace). Made first:
    // the port the serial form uses passes through it.
    WireTrace trace;

  private:
    TracingSerialControl tracedPort_;

  public:
    // The single instances, in the order they are created.
    clsCmcRadio radio;
    frmCom com;
    CloneLine line;
    clsCmcCln3Sequence seq;
    clsConsole console;
    clsIndOp_RigVelka rig;

    // Backups of the transceiver's memory, one after every clone read that completed (see
    // docs/DEVELOPING.md, "Backups"). The folder comes from the environment; tests give it a store
    // and a clock of their own. A backup that cannot be saved is reported once, after the
    // pass of the task that tried, and the adjustment goes on.
    BackupKeeper backups;

    // The connected transceiver as the verified read the console shows identified it (the
    // history of its backups is the backups whose identity has its key()); empty fields while
    // not connected.
    BackupIdentity ConnectedIdentity() const {
        return BackupIdentity::FromAnswer(rig.RigVelkaProp_ConnectedIdentity());
    }
    // A backup against the program's image, which while connected is the last verified read
    // with the adjustments made since.
    ImageComparison CompareWithBackup(const BackupRecord& record) const;
    // Why the backup loaded from name cannot be written to the connected transceiver now, in the
    // words a refused restore shows (an unusable file, nothing connected or a procedure running,
    // another model or sub code); nothing when it can.
    std::optional<std::string> WhyNotRestorable(const std::string& name,
                                                const BackupLoad& load) const;
    // Loads the backup file name and starts its verified restore (see
    // clsIndOp_RigVelka::RigOpFunc_StartRestore). Refused with a message, and false, when the
    // program is not connected and idle, the file is not usable, or the backup's model or sub
    // code is not the connected transceiver's.
    bool StartRestore(const std::string& name);
    bool RestoreRunning() const { return rig.RigVelkaProp_Restoring(); }
    // Runs once at the end of every restore, after the pass of the task in which it ended and
    // after its message (if any) has been closed: Restored (tell the technician, with
    // result.text), NotStarted and Mismatch (their message has been shown), Failed (the clone
    // error or the reset that ended it has been shown).
    void onRestoreDone(std::function<void(const RestoreResult&)> hook) {
        onRestoreDone_ = std::move(hook);
    }

    std::optional<std::string> verifiedRead(const clsCmcEeprom& image,
                                            BackupOrigin origin) override;
    void restoreFinished(const RestoreResult& result) override { restoreDone_ = result; }

  private:
    // Shows a critical message; reports wait while one is open.
    void ShowCritical(const std::string& text, const std::string& detail);
    // A failed backup and the end of a restore, once no message is open.
    void ShowPendingReports();

    IMessageBox& box_;
    int16_t comPortNo_ = 1;
    int16_t comAutoRelease_ = 0;
    bool traceKeyUsed_ = false;
    bool liveKeyUsed_ = false;
    std::string technician_;
    bool technicianKeyUsed_ = false;
    std::optional<std::string> visitFound_;
    std::vector<std::string> visitBackups_;
    std::function<void()> onTaskDone_;
    PortDetail portDetail_;
    std::function<void(const RestoreResult&)> onRestoreDone_;
    std::optional<RestoreResult> restoreDone_;
    int boxesOpen_ = 0;
};

}  // namespace calvex
