// The connection's state machine, its window updates and the live readings.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "base/Common.h"
#include "rig/NarrowRatio.h"
#include "rig/VelkaItems.h"
#include "rig/clsIndOp_RigVelka.h"

namespace calvex {

namespace {

// The states that follow one another by themselves; the restore's is entered by name.
constexpr int16_t kStateCount = clsIndOp_RigVelka::kStateDispPara + 1;
static_assert(clsIndOp_RigVelka::kStateLastReading - clsIndOp_RigVelka::kStateFirstReading + 1 ==
                  kReadingCount,
              "a reading state for each reading of the round");
constexpr int kProgressWidth = 32;

}  // namespace

void clsIndOp_RigVelka::task() {
    history.DropOlderThanKeep(clock.Now());
    RunTask();
    ReportReadingsAges();
}

void clsIndOp_RigVelka::RunTask() {
    if (myCln3Seq.OpRunning()) {
        if (opState == kStateReadImage ||
            (opState == kStateRestore && restore &&
             (restore->state() == RestoreOperation::State::ReadBefore ||
              restore->state() == RestoreOperation::State::Verify))) {
            ShowReadProgress();
        }
        return;
    }
    if (waitE8Ms > 0) {
        opTick.counter(waitE8Ms);
        waitE8Ms = 0;
    }
    // The commands on the line have ended: the image takes what reached the radio.
    SettleSent();
    FlushOutbox();
    if (myCln3Seq.OpRunning() || !outbox.empty()) return;
    if (opTick.counter() >= 1) return;
    // What a stopped procedure tried goes back before anything else reaches the radio.
    if (RigVelkaProp_PuttingBack() || connectAfterPutBack || portAfterPutBack) {
        PutBackStep();
        FlushOutbox();
        UpdateMainControls();
        return;
    }

    bool advanced = false;
    do {
        int16_t next = static_cast<int16_t>((opState + 1) % kStateCount);
        advanced = RunState(next);
        FlushOutbox();
        if (advanced) {
            opState = next;
            opFirst = true;
        } else {
            opFirst = false;
        }
        if (opError) {
            myWindow.MsgBoxCloneErr(myCln3Seq);
            RigOpFunc_ResetAll();
            break;
        }
    } while (!myCln3Seq.OpRunning() && advanced && opState != kStateCycleEnd);
    UpdateMainControls();
}

bool clsIndOp_RigVelka::ReadWholeImage(bool first) {
    if (first) {
        Started(myCln3Seq.easyCloneRead());
        return false;
    }
    // A read that ended any other way has been (or is now) reported.
    if (!myCln3Seq.cloneReadVerified()) {
        myWindow.MsgBoxCloneErr(myCln3Seq);
        RigOpFunc_ResetAll();
        return false;
    }
    return true;
}

bool clsIndOp_RigVelka::RunState(int16_t& next) {
    switch (opState) {
        case kStateIdle:
            return false;
        case kStateConnect:
            return true;
        case kStateReadImage:
            // Only an image read in full by this very read may be shown and sent back as
            // adjustments.
            if (!ReadWholeImage(opFirst)) return false;
            // Kept before the first adjustment goes out, so that the backup is the radio's
            // memory as it was found.
            connectBackup = KeepReadImage(BackupOrigin::Connect).value_or("");
            PrepareAfterRead();
            return true;
        case kStateCycleStart:
            reloadCycle = reloadRequest;
            reloadRequest = false;
            liveIdentified = liveReadAfterIdentify = false;
            liveCycle = !reloadCycle && LiveRoundAllowed() && LiveRoundDue();
            return true;
        case kStateFirstReading:
        case kStateFirstReading + 1:
        case kStateFirstReading + 2:
        case kStateFirstReading + 3:
        case kStateFirstReading + 4:
        case kStateFirstReading + 5:
        case kStateFirstReading + 6:
        case kStateFirstReading + 7:
        case kStateFirstReading + 8:
        case kStateFirstReading + 9:
        case kStateFirstReading + 10:
        case kStateLastReading: {
            const auto n = static_cast<int16_t>(opState - kStateFirstReading);
            if (liveCycle) return LiveReadingState(n, next);
            if (!reloadCycle) return true;
            if (n == 0 && opFirst) roundStartedAt = clock.Last();
            const bool done = ReadRoundReading(n, opFirst);
            // An F5 round is a whole round: the next live round starts from the top.
            if (done) liveNextReading = static_cast<int16_t>((n + 1) % kReadingCount);
            return done;
        }
        case kStateSendChanged:
            return SendChangedItems();
        case kStateEnterAction:
            StartEnterAction();
            return true;
        case kStateProcedureStep:
            return RunProcedureStep();
        case kStateCycleEnd:
            if (restore && restore->state() == RestoreOperation::State::Asked) {
                restore->Begin();
                StopProcedures();
                next = kStateRestore;
            } else if (dispParaRequest) {
                StopProcedures();
                next = kStateDispPara;
            } else {
                next = kStateCycleStart;
            }
            return true;
        case kStateDispPara:
            if (opFirst) {
                myWindow.txtDispParaText(myEep.RigVelkaEep_DispPara(txfBorder));
            }
            if (dispParaRequest) return false;
            next = kStateCycleEnd;
            myWindow.cmd00SetFocus(2);
            return true;
        case kStateRestore:
            return RunRestoreState(next);
        default:
            return false;
    }
}

void clsIndOp_RigVelka::ShowReadProgress() {
    const double fraction = static_cast<double>(myCln3Seq.lastEeAdr()) / VelkaMemory::kImageSize;
    const int marks = std::clamp(static_cast<int>(std::floor(fraction * 33)), 0, kProgressWidth);
    myWindow.lblProgressCaption(std::string(static_cast<std::size_t>(marks), 'o') +
                                std::string(static_cast<std::size_t>(kProgressWidth - marks), '.'));
}

void clsIndOp_RigVelka::PrepareAfterRead() {
    // From now on only this very radio may receive what the console sends.
    myCln3Seq.bindIdentity(myCln3Seq.identityAnswer());
    answerPrefix = HexStrToByteStr(myRadio.radioNameM() + myRadio.radionameS());
    const clsCmcEeprom& ee = myRadio.eepImage;
    for (int16_t i = 0; i < myConsole.ListCount(); ++i) {
        myConsole.ReadFromEe(i);
        if (const ItemRow* ratio = RatioRowOf(i); ratio != nullptr && Index(ratio->item) == i) {
            myConsole.Value(i, RatioOf(ee.ReadByte(RowOf(ratio->wide).eeAdr),
                                       ee.ReadByte(ratio->narrowAdr), myConsole.Max(i)));
        }
        myConsole.flgChanged(i, true);
    }
    for (const ItemRow& row : kVelkaItems) {
        if (!row.isRatio) continue;
        levelsAsRead[static_cast<std::size_t>(Index(row.item))] = {myConsole.Value(Index(row.wide)),
                                                                   myConsole.Value(Index(row.item)),
                                                                   ee.ReadByte(row.narrowAdr)};
    }
    reloadRequest = true;

    int16_t count = 0;
    for (int16_t ch = 0; ch < VelkaMemory::kProgrammableChannels; ++ch) {
        if (myEep.RigVelkaEep_GetChAppear(ch)) chList[static_cast<std::size_t>(count++)] = ch;
    }
    if (count == 0) {
        chList[0] = 0;
        count = 1;
    }
    myConsole.Max(idxChNo, static_cast<int16_t>(count - 1));
    myConsole.Value(idxChNo, myConsole.Min(idxChNo));
    myConsole.flgChanged(idxChNo, true);

    SendE8(VelkaMemory::kAdjustModeCommand, 1);
}

bool clsIndOp_RigVelka::SendChangedItems() {
    for (int16_t d = 0; d < myConsole.ListCount(); ++d) {
        if (!myConsole.flgChanged(d)) continue;
        myConsole.flgChanged(d, false);
        myConsole.SendE8(d);
        // The narrow levels follow the wide level and its ratio once either has been changed;
        // until then the radio gets back the level it holds. Both go out as one operation.
        if (const ItemRow* ratio = RatioRowOf(d)) {
            const LevelsAsRead& asRead = levelsAsRead[static_cast<std::size_t>(Index(ratio->item))];
            const int16_t w = myConsole.Value(Index(ratio->wide));
            const int16_t r = myConsole.Value(Index(ratio->item));
            const int16_t n =
                w == asRead.wide && r == asRead.ratio ? asRead.narrow : NarrowLevel(w, r);
            SendE8(ratio->narrowCommand, n, ratio->narrowAdr);
        }
        if (!outbox.empty()) return false;
    }
    return true;
}

void clsIndOp_RigVelka::StartEnterAction() {
    for (int16_t f = 0; f < myConsole.ListCount(); ++f) {
        if (myConsole.flgEnterOn(f) && myConsole.Event_Enter(f) >= 0) {
            myConsole.flgEnterOn(f, false);
            myConsole.EnterExec(f);
            return;
        }
    }
}

void clsIndOp_RigVelka::UpdateMainControls() {
    const bool shielding = RigVelkaProp_Shielding();
    const bool edit = RigVelkaProp_EditEnabled();
    const bool dispPara = RigVelkaProp_DispPara();
    myWindow.fra01Visible(0, shielding);
    const bool consoleWasVisible = myWindow.fra01Visible(1);
    myWindow.fra01Visible(1, edit);
    if (edit && !consoleWasVisible) myWindow.lboConsoleSetFocus();
    myWindow.fra01Visible(3, dispPara);
    myWindow.cmd00Enabled(0, !dispPara);
    myWindow.cmd00Enabled(1, edit);
    myWindow.cmd00Enabled(2, !shielding);
    myWindow.cmd00Default(2, dispPara);
    myWindow.cmd00Cancel(2, dispPara);
}

void clsIndOp_RigVelka::SendE8(int16_t command, int16_t value, int32_t imageAdr) {
    outbox.push_back({.command = command, .value = value, .imageAdr = imageAdr});
}

void clsIndOp_RigVelka::Started(int16_t result) {
    // The task starts an operation only with the line idle; a refusal is a fault of the
    // program, and the answer it would then wait for is not this request's.
    if (result != 0) throw std::logic_error("an operation was started while the line was busy");
}

void clsIndOp_RigVelka::FlushOutbox() {
    // The commands on the line are counted first.
    if (outbox.empty() || !inFlight.empty()) return;
    std::vector<std::string> frames;
    frames.reserve(outbox.size());
    for (const Adjustment& a : outbox)
        frames.push_back(E8DataText(a.command, a.value));
    if (myCln3Seq.easySendE8Frames(frames) != 0) return;
    inFlight.swap(outbox);  // inFlight was empty, so the outbox is empty again
}

void clsIndOp_RigVelka::SettleSent() {
    if (!myCln3Seq.OpRunning()) SettleSentSoFar();
}

void clsIndOp_RigVelka::SettleSentSoFar() {
    if (inFlight.empty()) return;
    const std::size_t sent = std::min(myCln3Seq.e8FramesSent(), inFlight.size());
    for (std::size_t k = 0; k < sent; ++k) {
        const Adjustment& a = inFlight[k];
        if (a.imageAdr >= 0) {
            myRadio.eepImage.WriteByte(a.imageAdr, static_cast<uint8_t>(a.value & 0xFF));
        }
        if (a.channel >= 0) curChannel = a.channel;
    }
    inFlight.clear();
}

bool clsIndOp_RigVelka::AdjustmentUnderWay(int32_t adr) const {
    const auto at = [adr](const Adjustment& a) { return a.imageAdr == adr; };
    return std::any_of(outbox.begin(), outbox.end(), at) ||
           std::any_of(inFlight.begin(), inFlight.end(), at);
}

bool clsIndOp_RigVelka::LiveReadingState(int16_t n, int16_t& next) {
    // A new request is about to go out: on the state's first tick, or once the round's
    // identification has ended.
    const bool request = opFirst || std::exchange(liveReadAfterIdentify, false);
    if (request) {
        // Checked before each new request only: a reading on the line is let finish, so what
        // the technician started waits one exchange at most.
        if (!LiveRoundAllowed()) {
            liveCycle = false;
            next = kStateSendChanged;
            return true;
        }
        if (n < liveNextReading) return true;  // read earlier in this round
        if (n == 0 && opFirst) roundStartedAt = clock.Last();
        // Readings carry only model and sub code: the radio on the line is identified in full
        // before its readings are shown as the connected radio's.
        if (!liveIdentified) {
            liveIdentified = liveReadAfterIdentify = true;
            Started(myCln3Seq.easyConfirmIdentity());
            return false;
        }
    }
    const bool done = ReadRoundReading(n, request);
    if (done) liveNextReading = static_cast<int16_t>((n + 1) % kReadingCount);
    return done;
}

bool clsIndOp_RigVelka::LiveRoundAllowed() const {
    return liveReadings && RigVelkaProp_EditEnabled() && !dispParaRequest && procStep == 0 &&
           !RigVelkaProp_Restoring() && !RigVelkaProp_PuttingBack() && !connectAfterPutBack &&
           !portAfterPutBack && !AdjustmentPending();
}

bool clsIndOp_RigVelka::LiveRoundDue() const {
    return liveNextReading != 0 || !roundStartedAt ||
           clock.Last() - *roundStartedAt >= kLiveRoundPeriodMs;
}

bool clsIndOp_RigVelka::AdjustmentPending() const {
    for (int16_t i = 0; i < myConsole.ListCount(); ++i) {
        if (myConsole.flgChanged(i)) return true;
        // An Enter on an item without an action stays pending for ever and starts nothing.
        if (myConsole.flgEnterOn(i) && myConsole.Event_Enter(i) >= 0) return true;
    }
    return false;
}

std::optional<int64_t> clsIndOp_RigVelka::RigVelkaProp_ReadAt(int16_t list) const {
    if (list < 0 || list > 1) throw std::out_of_range("monitor list index out of range");
    std::optional<int64_t> oldest;
    for (int16_t n = 0; n < kReadingCount; ++n) {
        if (ListOf(static_cast<Reading>(n)) != list) continue;
        const auto& at = readAt[static_cast<std::size_t>(n)];
        if (!at) return std::nullopt;
        if (!oldest || *at < *oldest) oldest = at;
    }
    return oldest;
}

void clsIndOp_RigVelka::ReportReadingsAges() {
    const int64_t now = clock.Last();
    for (int16_t list = 0; list < 2; ++list) {
        const std::optional<int64_t> at = RigVelkaProp_ReadAt(list);
        const std::optional<int64_t> age =
            at ? std::optional<int64_t>(std::max<int64_t>(now - *at, 0)) : std::nullopt;
        // The text follows from the whole seconds, the option and the stale limit alone; most
        // ticks change none of them and build no text.
        const int64_t key =
            !age ? -1
                 : (*age / 1000) * 4 + (liveReadings ? 2 : 0) + (*age > kReadingsStaleMs ? 1 : 0);
        AgeShown& shown = ageShown[static_cast<std::size_t>(list)];
        if (shown.age && key == shown.key) continue;
        shown.key = key;
        ReadingsAge text = ReadingsAgeText(age, liveReadings);
        if (shown.age && *shown.age == text) continue;
        shown.age = text;
        myWindow.monitorAge(list, text.text, text.stale);
    }
}

bool clsIndOp_RigVelka::ReadRoundReading(int16_t n, bool first) {
    const Reading reading = static_cast<Reading>(n);
    return ListOf(reading) == 0 ? ReadMonitor(RowInList(reading), first)
                                : ReadAdjustMonitor(RowInList(reading), first);
}

bool clsIndOp_RigVelka::ReadMonitor(int16_t r, bool first) {
    return ReadReading(0, kMonitorRows.at(static_cast<std::size_t>(r)),
                       lastMon.at(static_cast<std::size_t>(r)), r, first);
}

bool clsIndOp_RigVelka::ReadAdjustMonitor(int16_t r, bool first) {
    return ReadReading(1, kAdjustRows.at(static_cast<std::size_t>(r)),
                       lastAdj.at(static_cast<std::size_t>(r)), r, first);
}

bool clsIndOp_RigVelka::ReadReading(int16_t list, const ReadingRow& row, int16_t& last, int16_t r,
                                    bool first) {
    if (first) {
        Started(
            myCln3Seq.easySendE8ReqAnswer(E8DataText(VelkaMemory::kReadingCommand, row.channel)));
        return false;
    }
    if (myCln3Seq.OpRunning()) return false;
    const std::string answer = myCln3Seq.varLastE8Answer();
    if (CheckE8Answer(answer, answerPrefix)) {
        opError = true;
        return true;
    }
    const int16_t value = E8AnswerValue(answer);
    const Reading reading = ReadingOf(list, r);
    readAt[static_cast<std::size_t>(reading)] = clock.Last();
    history.Add({clock.Last(), reading, value, ReadingValue(row, value)});
    if (value != last) {
        last = value;
        myWindow.lbo01(list).List(r + 1, ReadingRowText(row, value));
    }
    return true;
}

}  // namespace calvex
