#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clone/ICloneSequencer.h"
#include "console/IConsoleEvents.h"
#include "console/clsConsole.h"
#include "link/ITickSource.h"
#include "link/clsCmcTick.h"
#include "memory/clsCmcRadio.h"
#include "memory/clsIndEep_RigVelka.h"
#include "rig/IRigBackups.h"
#include "rig/IRigWindow.h"
#include "rig/ImageComparison.h"
#include "rig/LiveReadings.h"
#include "rig/PutBackOperation.h"
#include "rig/ReadingsHistory.h"
#include "rig/RestoreOperation.h"
#include "rig/SweepCurve.h"
#include "rig/VelkaItems.h"
#include "rig/WideTickClock.h"

namespace calvex {

// The Velka-specific half of the adjustment work: the item table of the console, the constants
// of the reference oscillator, the state the main window follows, the dispatch of the three
// main buttons and the console's event handlers.
class clsIndOp_RigVelka final : public IConsoleEvents, private RestoreOperation::Host {
  public:
    clsIndOp_RigVelka(ICloneSequencer& seq, clsCmcRadio& radio, clsConsole& console,
                      IRigWindow& window, ITickSource& ticks);

    // Puts the task back to idle and rebuilds the console with the fourteen items.
    void RigOpFunc_ResetAll();
    // TXF temperature border i (0..21); std::out_of_range otherwise.
    int16_t RigVelkaOp_Table_Txf_TempBorder(int16_t i) const;
    // Reads "Const.ini" from the first of ConstFileCandidates that exists (for the current
    // directory and the environment); true when it was read completely. A file found but
    // refused is the end of the search: a calibration elsewhere is not a stand-in for it.
    bool RigVelkaProp_ReadParametersFromExtFile();
    // Why the constants file was refused (its path, and the line and its value when a line was
    // the reason), or every place it was looked for when there was none.
    const std::string& ConstFileProblem() const { return constFileProblem; }
    // The Const.ini the constants were read from, as found by the last read; when there was
    // none, where it was looked for ("not found; looked for at <path> <path>").
    const std::string& RigVelkaProp_ConstFileInUse() const { return constFileInUse; }
    bool RigVelkaProp_Shielding() const {
        return !RigVelkaProp_EditEnabled() && !RigVelkaProp_DispPara();
    }
    bool RigVelkaProp_EditEnabled() const {
        return opState > kStateReadImage && opState < kStateDispPara;
    }
    bool RigVelkaProp_DispPara() const { return opState == kStateDispPara; }
    void WaitE8Required(int32_t ms) override { waitE8Ms = ms; }
    // Button captions, monitor list placeholders and the empty progress label.
    void RigOpFunc_FormResource();
    // Places the window's controls; the first call also sizes and places the window.
    void RigOpFunc_FormLayout();
    // True for a sub-name whose first four characters sort at or before the newest sub code.
    static bool RigOpFunc_CheckSubNameLegal(const std::string& name);
    void RigOpFunc_SetComPortNo(int16_t n);
    void RigOpFunc_ClickCmd00(int16_t index);
    // One pass of the connection's state machine; called once per timer tick.
    void task();
    // Once the sequencer has ended the operation of the queued adjustments: the image takes
    // what reached the radio. The task does it on its next pass; the tick does it at its end,
    // so that between ticks the image is what the radio holds.
    void RigOpFunc_SettleSent() { SettleSent(); }

    // Where every completed clone read is backed up before anything is sent after it, and
    // where restores report how they ended; none: nothing is kept.
    void RigOpFunc_Backups(IRigBackups* backups) { myBackups = backups; }
    // A restore may start: connected with the console shown, no procedure, no restore.
    bool RigVelkaProp_RestoreAllowed() const;
    // Starts the restore of image (the whole EEPROM image) made of a transceiver with the
    // given model and sub code. At the end of the current cycle the task reads the radio (the
    // read is backed up as every read is), checks that it is still a radio of that model and
    // sub code, writes image with a clone write of the whole image and reads it back; only
    // a read that agrees with image at every address is a success, and the console then
    // shows it as after Connect. False, and nothing changes, when not allowed now.
    bool RigOpFunc_StartRestore(const std::string& image, const std::string& model,
                                const std::string& sub);
    // From the start of a restore until it has reported its end.
    bool RigVelkaProp_Restoring() const { return restore && restore->active(); }
    // The whole identification answer of the radio whose memory the console shows (the last
    // verified read after Connect); empty while not connected.
    const std::string& RigVelkaProp_ConnectedIdentity() const { return myCln3Seq.boundIdentity(); }
    // Stops a running procedure for the program's end; true when values it tried are being put
    // back (the program waits a little for RigVelkaProp_PuttingBack to turn false).
    bool RigOpFunc_StopForExit();
    // Values a stopped procedure tried are being put back into the radio.
    bool RigVelkaProp_PuttingBack() const { return putBack.has_value(); }
    // A word for the technician on what a stop or a reset did to the radio (a procedure's trial
    // values put back, or what could not be); given out once.
    std::string RigOpFunc_TakeNote();
    // The item table as a comparison of two images needs it (see ImageComparison).
    std::vector<ComparedItem> RigVelkaOp_ComparedItems() const;

    // Live readings (off at start): while the console is shown and nothing else is waiting for
    // the line (no changed item, no Enter action, no procedure, restore or put-back), the
    // twelve readings are read again and again, each round as fast as an F5 round, a new round
    // once a second (kLiveRoundPeriodMs). Anything the technician does comes first: the
    // reading already on the line ends, the rest of the round waits.
    void RigOpFunc_LiveReadings(bool on) { liveReadings = on; }
    bool RigVelkaProp_LiveReadings() const { return liveReadings; }
    // The class's own clock in milliseconds, as of its last tick: the tick source's count
    // carried on past its wrap. The times below are on it.
    int64_t RigVelkaProp_ClockMs() const { return clock.Last(); }
    // When every value of monitor list (0 "[A/D]", 1 "[D/A]") had been read, i.e. the time of
    // its oldest value; none until each has been read since Connect. std::out_of_range for
    // another list.
    std::optional<int64_t> RigVelkaProp_ReadAt(int16_t list) const;
    // The readings of the last five minutes, for a chart over time.
    const ReadingsHistory& RigVelkaProp_ReadingsHistory() const { return history; }
    // The last completed band-pass filter sweep of each filter.
    const SweepCurves& RigVelkaProp_SweepCurves() const { return sweepCurves; }

    // How often a live round starts. Rounds back to back would keep the line busy without end
    // (each answer asks the next question at once) for values that change slowly: one a
    // second keeps them "Live" at a fraction of the wakeups.
    static constexpr int64_t kLiveRoundPeriodMs = 1000;

    // The task's states (opState). The cycle runs CycleStart..CycleEnd again and again; the
    // twelve readings are FirstReading..LastReading, in the order of the round.
    static constexpr int16_t kStateIdle = 0;
    static constexpr int16_t kStateConnect = 1;
    static constexpr int16_t kStateReadImage = 2;
    static constexpr int16_t kStateCycleStart = 3;
    static constexpr int16_t kStateFirstReading = 4;
    static constexpr int16_t kStateLastReading = 15;
    static constexpr int16_t kStateSendChanged = 16;
    static constexpr int16_t kStateEnterAction = 17;
    static constexpr int16_t kStateProcedureStep = 18;
    static constexpr int16_t kStateCycleEnd = 19;
    static constexpr int16_t kStateDispPara = 20;
    // A restore runs (RestoreOperation), outside the adjustment cycle.
    static constexpr int16_t kStateRestore = 21;

    // The steps (procStep) of each procedure: 0 is none running.
    struct StepRange {
        int16_t first;
        int16_t last;
    };
    static constexpr StepRange kTxfSteps{1, 5};
    static constexpr StepRange kRssiSteps{6, 8};
    static constexpr StepRange kBpfSteps{9, 13};

    std::string ConsEv_Disp(clsConsole& console, int16_t& index, int16_t eventNo,
                            int16_t value) override;
    void ConsEv_SendE8(clsConsole& console, int16_t& index, int16_t eventNo,
                       int16_t value) override;
    void ConsEv_Enter(clsConsole& console, int16_t& index, int16_t eventNo, int16_t value) override;
    void ConsEv_QueueE8(int16_t command, int16_t value, int32_t imageAdr) override {
        SendE8(command, value, imageAdr);
    }

    static constexpr const char* kConstFileName = "Const.ini";

  private:
    friend struct RigVelkaTestAccess;

    void StopProcedures();
    // A procedure that writes to the radio starts: the bytes it may change, as they are now.
    void BeginTrial();
    // A procedure stopped before its end: the bytes it changed go back (queued for the task),
    // and the console shows them as at its start.
    void PutBackTrial();
    // Sends the next byte to put back; once all are confirmed, runs what waited for them.
    void PutBackStep();
    // Bytes that may still hold a stopped procedure's trial values (for a reset's note).
    std::vector<int32_t> UnconfirmedTrialAddresses() const;

    // The task's pieces.
    void RunTask();
    bool RunState(int16_t& next);
    // A reading state (4..15) of a cycle whose readings are live ones.
    bool LiveReadingState(int16_t n, int16_t& next);
    // A live round may read now: on, and nothing the technician started is waiting.
    bool LiveRoundAllowed() const;
    // A live round is due: one was interrupted, or the last began a period ago.
    bool LiveRoundDue() const;
    bool AdjustmentPending() const;
    // Tells the window the age of each list's values when its text has changed.
    void ReportReadingsAges();
    void ShowReadProgress();
    void PrepareAfterRead();
    // What a restore does through this class (RestoreOperation::Host). ReadWholeImage: a state
    // that reads the whole image starts the read on its first tick, then is true only when
    // that read was vouched for in full (otherwise it has been reported and the task reset).
    bool ReadWholeImage(bool first) override;
    const std::string& ConnectedIdentity() const override { return myCln3Seq.boundIdentity(); }
    const std::string& AnsweredIdentity() const override { return myCln3Seq.identityAnswer(); }
    std::string RadioModel() const override { return myRadio.radioNameM(); }
    std::string RadioSub() const override { return myRadio.radionameS(); }
    // Hands a completed read to the backups; the name of the backup that holds it, if one does.
    std::optional<std::string> KeepReadImage(BackupOrigin origin) override;
    void StartCloneWrite(const std::string& image) override;
    int16_t ImageByte(int32_t adr) const override { return myRadio.eepImage.ReadByte(adr); }
    void AddNote(const std::string& text) override;
    bool RunRestoreState(int16_t& next);
    bool SendChangedItems();
    void StartEnterAction();
    void UpdateMainControls();
    // Queues one adjustment command; the image takes the value at imageAdr (none when negative)
    // once the command has gone out whole. What a step queues goes out as one operation.
    void SendE8(int16_t command, int16_t value, int32_t imageAdr = -1);
    // Hands what the step queued to the sequencer (one identification at most, then each frame
    // in order); kept for the next tick while the line is busy.
    void FlushOutbox();
    // Throws std::logic_error when the sequencer refused the start (result 1).
    static void Started(int16_t result);
    // After the operation of the queued commands has ended: the image takes the values that went
    // out whole, and the rest are dropped (the radio does not hold them).
    void SettleSent();
    // The same while the operation may still be under way (a reset ends it): what has gone out
    // so far is in the radio.
    void SettleSentSoFar();
    // An adjustment of the image byte at adr is queued or on the line.
    bool AdjustmentUnderWay(int32_t adr) const;

    // Live readings: done once the answer has been taken (or found bad, setting opError).
    bool ReadMonitor(int16_t r, bool first);
    bool ReadAdjustMonitor(int16_t r, bool first);
    bool ReadReading(int16_t list, const ReadingRow& row, int16_t& last, int16_t r, bool first);
    // Reading n (0..11) of the task's round: the A/D list, then the D/A list.
    bool ReadRoundReading(int16_t n, bool first);

    // Procedures, stepped once per cycle; each returns the task's advance flag.
    bool RunProcedureStep();
    bool TxfProcedure();
    bool BpfSweepProcedure();
    bool RssiProcedure();
    // A reading taken inside a procedure step: a new request on the step's first call.
    bool ProcedureReading(int16_t r);
    bool GoToStep(int16_t step);
    // file: the path the problem names.
    bool ReadParameters(std::istream& in, const std::string& file);
    // The channel item's line: number, frequencies, power and mode.
    std::string ChannelLine(const std::string& title, int16_t value);
    bool procRunning(StepRange steps) const {
        return procStep >= steps.first && procStep <= steps.last;
    }
    static int32_t rxAdr(int16_t ch) {
        return VelkaMemory::ChannelRecord(ch) + VelkaMemory::kRxOffset;
    }
    static int32_t txAdr(int16_t ch) {
        return VelkaMemory::ChannelRecord(ch) + VelkaMemory::kTxOffset;
    }
    int16_t lastIndex() const { return static_cast<int16_t>(myConsole.ListCount() - 1); }

    // Working fields of the running procedure.
    struct ProcWork {
        int16_t area = 0;
        int16_t lastValue = 0;
        int16_t startK = 0;
        int16_t endK = 0;
        bool done = false;
        bool requestSent = false;
        int16_t subStep = 0;
        int16_t filter = 0;
        int16_t best = 0;
        int16_t firstBest = 0;
        int16_t lastBest = 0;
        bool stored = false;
        // The filter whose chosen setting has just gone out, to be read once more; -1 none.
        int16_t settleFilter = -1;
    };

    ICloneSequencer& myCln3Seq;
    clsCmcRadio& myRadio;
    clsConsole& myConsole;
    IRigWindow& myWindow;
    clsIndEep_RigVelka myEep;
    clsCmcTick opTick;
    WideTickClock clock;

    int16_t comPortNo = 1;
    int16_t opState = 0;
    bool opFirst = true;
    bool opError = false;
    int16_t procStep = 0;
    bool reloadRequest = false;
    bool reloadCycle = false;
    bool dispParaRequest = false;
    std::string answerPrefix;
    int32_t waitE8Ms = 0;
    std::array<int16_t, 5> lastMon{};
    std::array<int16_t, 9> lastAdj{};

    // Live readings: the option, whether this cycle's readings are live ones (cut short when
    // the technician acts, unlike an F5 round), and the reading the next live round starts at.
    // An interrupted round resumes where it stopped rather than from the top, so that keys
    // pressed every few hundred milliseconds cannot keep the "[D/A]" list from ever being read.
    bool liveReadings = false;
    bool liveCycle = false;
    int16_t liveNextReading = 0;
    // When the last round (live or F5) began, on clock.
    std::optional<int64_t> roundStartedAt;
    // When each reading last completed, on clock; none since Connect.
    std::array<std::optional<int64_t>, kReadingCount> readAt{};
    // What the window was last told of each list's age, and what it was computed from.
    struct AgeShown {
        int64_t key = -1;
        std::optional<ReadingsAge> age;
    };
    std::array<AgeShown, 2> ageShown{};
    ReadingsHistory history;
    SweepCurves sweepCurves;

    int16_t idxChNo = 0;
    int16_t idxBalW = 0;
    int16_t idxBalRatio = 0;
    int16_t idxModW = 0;
    int16_t idxModRatio = 0;
    int16_t idxBpfT1 = 0;
    int16_t idxBpfAll = 0;
    int16_t idxTxf = 0;

    std::array<int16_t, 22> txfBorder{};
    std::array<float, 22> txfCoef{};
    std::string constFileProblem;
    std::string constFileInUse = "not read";
    std::array<float, 45> txfTable{};

    std::array<int16_t, 9> chList{};
    int16_t curChannel = 0;

    // TXF reference oscillator procedure.
    int16_t txfFirstValue = 0;
    int16_t txfSecondValue = 0;
    int16_t txfOffset = 0;
    bool txfNext = false;
    bool txfSecondPhase = false;
    bool txfWriteAll = false;
    // BPF sweep and RSSI level procedures.
    std::array<bool, 3> bpfSweep{};
    bool bpfSweepAll = false;
    int16_t bpfOffset = 0;
    bool rssiNext = false;
    bool rssiS1Phase = false;
    ProcWork procWork;
    // The item the RSSI procedure redraws; no item of the table carries its events.
    int16_t idxRssi = -1;
    // The window is sized and placed by the first layout only.
    bool layoutDone = false;

    // A procedure's trial writes: every byte it may change with its value at the start, and
    // the console values it showed then.
    std::vector<TrialByte> trialBytes;
    std::vector<std::pair<int16_t, int16_t>> trialItems;
    std::string trialName;
    // The put-back of a stopped procedure's trial values; none when nothing is to go back.
    std::optional<PutBackOperation> putBack;
    // The program is ending: the put-back goes on without a word.
    bool exiting = false;
    // What waits for the put-back: Connect, another port.
    bool connectAfterPutBack = false;
    std::optional<int16_t> portAfterPutBack;
    std::string pendingNote;
    // The backup of the radio's memory as found: the read after Connect, or after a restore
    // that succeeded its verifying read.
    std::string connectBackup;

    IRigBackups* myBackups = nullptr;
    // The restore asked for or under way; none once it has ended.
    std::optional<RestoreOperation> restore;
    // The narrow levels after a read are sent as read until the wide level or the ratio
    // changes: the ratio cannot carry every pair of levels a radio may hold.
    struct LevelsAsRead {
        int16_t wide = -1;
        int16_t ratio = -1;
        int16_t narrow = 0;
    };
    std::array<LevelsAsRead, kVelkaItems.size()> levelsAsRead{};

    // One adjustment command for the radio, and what the program takes from it once it has gone
    // out whole: the image byte, the channel the radio is now on.
    struct Adjustment {
        int16_t command = 0;
        int16_t value = 0;
        int32_t imageAdr = -1;
        int16_t channel = -1;
    };
    // Queued by the step under way, then on the line until counted.
    std::vector<Adjustment> outbox;
    std::vector<Adjustment> inFlight;
    // A live cycle identifies the radio before its first reading, then reads.
    bool liveIdentified = false;
    bool liveReadAfterIdentify = false;
};

// Where "Const.ini" is looked for, in this order: the current directory cwd, then the user's
// config folder ($XDG_CONFIG_HOME/calvexadj, else $HOME/.config/calvexadj; a relative
// XDG_CONFIG_HOME counts as unset, and without a home there is no such folder). A place
// named twice is listed once. An empty cwd stands for the bare name.
std::vector<std::string> ConstFileCandidates(const std::string& cwd, const char* xdgConfigHome,
                                             const char* home);

}  // namespace calvex
