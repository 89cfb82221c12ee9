// The guided procedures: reference oscillator table, band-pass filter sweep, RSSI levels.
#include <algorithm>
#include <cmath>

#include "rig/ImageComparison.h"
#include "rig/TxfTable.h"
#include "rig/clsIndOp_RigVelka.h"

namespace calvex {

namespace {

constexpr int16_t kSecondPhaseStart = 22;  // D/A steps from the first setting to +10 ppm
constexpr int16_t kSecondPhaseCeiling = 233;

}  // namespace

bool clsIndOp_RigVelka::RunProcedureStep() {
    const int16_t before = procStep;
    bool advance = true;
    if (procRunning(kTxfSteps)) {
        advance = TxfProcedure();
    } else if (procRunning(kRssiSteps)) {
        advance = RssiProcedure();
    } else if (procRunning(kBpfSteps)) {
        advance = BpfSweepProcedure();
    }
    if (before != 0 && procStep == 0) StopProcedures();
    return advance;
}

bool clsIndOp_RigVelka::GoToStep(int16_t step) {
    procStep = step;
    procWork.requestSent = false;
    return true;
}

bool clsIndOp_RigVelka::ProcedureReading(int16_t r) {
    const bool done = ReadMonitor(r, !procWork.requestSent);
    procWork.requestSent = true;
    return done;
}

bool clsIndOp_RigVelka::TxfProcedure() {
    if (myCln3Seq.OpRunning()) return false;
    const clsCmcEeprom& ee = myRadio.eepImage;
    switch (procStep) {
        case 1:
            procWork.area = -1;
            txfNext = false;
            return GoToStep(2);

        case 2: {
            if (!ProcedureReading(1)) return false;
            const int16_t v = myConsole.Value(idxTxf);
            if (txfSecondPhase && v >= kSecondPhaseCeiling) {
                myConsole.Value(idxTxf, 255);
                myConsole.Disp(idxTxf);
            } else if (txfSecondPhase) {
                myConsole.Value(idxTxf, static_cast<int16_t>(txfFirstValue + kSecondPhaseStart));
            } else {
                // Start from the value stored for the current temperature area.
                const int16_t area = FindTempArea(lastMon[1]);
                myConsole.Value(idxTxf, ee.ReadByte(VelkaMemory::TxfInitial(area)));
            }
            return GoToStep(3);
        }

        case 3: {
            if (!ProcedureReading(1)) return false;
            const int16_t d = FindTempArea(lastMon[1]);
            const int16_t v = myConsole.Value(idxTxf);
            if (v == procWork.lastValue && !txfNext && d == procWork.area) return GoToStep(5);
            procWork.area = d;
            if (txfNext && txfSecondPhase) {
                txfSecondValue = v;
                const TxfComputed computed =
                    ComputeTxfTable(txfFirstValue, txfSecondValue, txfCoef, lastMon[1]);
                txfTable = computed.table;
                txfOffset = computed.offset;
                procWork.startK = 0;
                procWork.endK = VelkaMemory::kTxfPositions - 1;
                txfWriteAll = true;
            } else {
                if (txfNext) txfFirstValue = v;
                // The current area and its two neighbours follow the setting live.
                procWork.startK = static_cast<int16_t>(2 * d - 2);
                procWork.endK = static_cast<int16_t>(2 * d + 3);
            }
            procWork.startK = std::max<int16_t>(procWork.startK, 0);
            procWork.endK = std::min<int16_t>(procWork.endK, VelkaMemory::kTxfPositions - 1);
            procWork.done = txfNext;
            procWork.lastValue = myConsole.Value(idxTxf);
            return GoToStep(4);
        }

        case 4: {
            if (procWork.endK < procWork.startK) return GoToStep(procWork.done ? 5 : 3);
            const int16_t k = procWork.startK;
            int16_t value = 0;
            if (txfWriteAll && txfSecondPhase) {
                value = TxfPositionValue(TxfComputed{txfTable, txfOffset}, k);
            } else if (k % 2 == 1) {
                value = myConsole.Value(idxTxf);
            }
            SendE8(static_cast<int16_t>(VelkaMemory::kTxfFirstCommand + k), value,
                   VelkaMemory::kTxfTable + k);
            ++procWork.startK;
            return false;
        }

        case 5:
            if (!procWork.done) return GoToStep(3);
            if (txfSecondPhase) {
                txfSecondPhase = false;
                txfNext = false;
                myWindow.Beep();
                return GoToStep(0);
            }
            txfSecondPhase = true;
            return GoToStep(1);

        default:
            return true;
    }
}

bool clsIndOp_RigVelka::BpfSweepProcedure() {
    if (myCln3Seq.OpRunning()) return false;
    switch (procStep) {
        case 9:
            procWork.settleFilter = -1;
            return GoToStep(10);

        case 10:
            for (int16_t f = 0; f <= 1; ++f) {
                if (!bpfSweep[static_cast<std::size_t>(f)]) continue;
                myConsole.Value(static_cast<int16_t>(idxBpfT1 + f), 0);
                myConsole.Disp(static_cast<int16_t>(idxBpfT1 + f));
            }
            return GoToStep(11);

        case 11: {
            if (procWork.settleFilter >= 0) {
                // The task sends the changed items before it steps the procedure, so the setting
                // chosen for this filter is on the radio now: the detector shows its level.
                if (!ProcedureReading(3)) return false;
                if (opError) return false;  // the task ends the connection; nothing more is sent
                sweepCurves.Settled(procWork.settleFilter, lastMon[3]);
                procWork.settleFilter = -1;
                procWork.requestSent = false;
            }
            if (!ProcedureReading(2)) return false;
            bpfOffset = lastMon[2];
            const auto next = std::find(bpfSweep.begin(), bpfSweep.begin() + 2, true);
            if (next == bpfSweep.begin() + 2) return GoToStep(13);
            procWork.filter = static_cast<int16_t>(next - bpfSweep.begin());
            const auto item = static_cast<int16_t>(idxBpfT1 + procWork.filter);
            // A sweep of both filters starts below zero by the low-supply reading.
            myConsole.Value(item,
                            bpfSweepAll ? static_cast<int16_t>(-bpfOffset) : myConsole.Min(item));
            procWork.best = -1;
            procWork.firstBest = procWork.lastBest = myConsole.Min(item);
            procWork.subStep = 0;
            sweepCurves.Begin(procWork.filter, bpfSweepAll);
            return GoToStep(12);
        }

        case 12: {
            const auto item = static_cast<int16_t>(idxBpfT1 + procWork.filter);
            for (;;) {
                if (procWork.subStep == 0) {
                    myConsole.SendE8(item);
                    procWork.subStep = 1;
                    return false;
                }
                if (!ReadMonitor(3, procWork.subStep == 1)) {
                    ++procWork.subStep;
                    return false;
                }
                const int16_t g = myConsole.Value(item);
                const int16_t s = lastMon[3];
                myConsole.WaitAfterE8(item, 0);  // no pause between the points of a sweep
                sweepCurves.AddPoint(procWork.filter, g, s);
                if (s >= procWork.best) {
                    if (s > procWork.best) procWork.firstBest = g;
                    procWork.lastBest = g;
                    procWork.best = s;
                }
                const bool more = g < myConsole.Max(item) && !(bpfSweepAll && g >= 255 - bpfOffset);
                if (!more) break;
                myConsole.Value(item, static_cast<int16_t>(g + (bpfSweepAll ? 2 : 1)));
                procWork.subStep = 0;
            }
            // The middle of the highest plateau.
            myConsole.Value(item, static_cast<int16_t>(
                                      std::floor((procWork.lastBest + procWork.firstBest) / 2.0)));
            sweepCurves.Optimum(procWork.filter, procWork.firstBest, procWork.lastBest,
                                myConsole.Value(item));
            bpfSweep[static_cast<std::size_t>(procWork.filter)] = false;
            procWork.settleFilter = procWork.filter;
            return GoToStep(11);
        }

        case 13:
            sweepCurves.Complete();
            myWindow.Beep();
            return GoToStep(0);

        default:
            return true;
    }
}

bool clsIndOp_RigVelka::RssiProcedure() {
    if (myCln3Seq.OpRunning()) return false;
    switch (procStep) {
        case 6:
            rssiNext = false;
            procWork.stored = false;
            return GoToStep(7);

        case 7:
            if (!ProcedureReading(3)) return false;
            if (rssiNext) {
                const int16_t e = lastMon[3];
                SendE8(rssiS1Phase ? VelkaMemory::kRssiS1Command : VelkaMemory::kRssiS3Command, e,
                       rssiS1Phase ? VelkaMemory::kRssiS1 : VelkaMemory::kRssiS3);
            }
            procWork.stored = rssiNext;
            return GoToStep(8);

        case 8:
            if (!procWork.stored) return GoToStep(7);
            if (rssiS1Phase) {
                rssiNext = false;
                rssiS1Phase = false;
                myWindow.Beep();
                return GoToStep(0);
            }
            rssiS1Phase = true;
            if (idxRssi >= 0 && idxRssi < myConsole.ListCount()) myConsole.Disp(idxRssi);
            return GoToStep(6);

        default:
            return true;
    }
}

void clsIndOp_RigVelka::BeginTrial() {
    const clsCmcEeprom& ee = myRadio.eepImage;
    trialBytes.clear();
    trialItems.clear();
    const auto keep = [&](int32_t adr, int16_t command) {
        trialBytes.push_back({adr, command, ee.ReadByte(adr)});
    };
    if (procRunning(kTxfSteps)) {
        trialName = "TXF";
        for (int16_t k = 0; k < VelkaMemory::kTxfPositions; ++k)
            keep(VelkaMemory::kTxfTable + k,
                 static_cast<int16_t>(VelkaMemory::kTxfFirstCommand + k));
        trialItems.emplace_back(idxTxf, myConsole.Value(idxTxf));
    } else if (procRunning(kRssiSteps)) {
        trialName = "RSSI";
        keep(VelkaMemory::kRssiS1, VelkaMemory::kRssiS1Command);
        keep(VelkaMemory::kRssiS3, VelkaMemory::kRssiS3Command);
    } else if (procRunning(kBpfSteps)) {
        trialName = "BPF";
        for (int16_t f = 0; f <= 1; ++f) {
            const auto item = static_cast<int16_t>(idxBpfT1 + f);
            keep(myConsole.EeAdr(item), myConsole.E8Command(item));
            trialItems.emplace_back(item, myConsole.Value(item));
        }
    }
}

void clsIndOp_RigVelka::PutBackTrial() {
    const clsCmcEeprom& ee = myRadio.eepImage;
    std::vector<TrialByte> changed;
    for (const TrialByte& b : trialBytes) {
        // A trial value still on the line may reach the radio: it goes back too.
        if (ee.ReadByte(b.adr) == b.original && !AdjustmentUnderWay(b.adr)) continue;
        // The image follows as each value goes back out.
        changed.push_back(b);
    }
    if (putBack) {
        putBack->Add(trialName, changed);
    } else if (!changed.empty()) {
        putBack.emplace(trialName, std::move(changed));
    }
    for (const auto& [item, value] : trialItems)
        myConsole.Value(item, value);
}

void clsIndOp_RigVelka::PutBackStep() {
    // Called only while the sequencer is idle.
    if (putBack) {
        if (const auto b = putBack->Step()) {
            SendE8(b->command, b->original, b->adr);
            return;
        }
        if (!exiting) {
            AddNote("The " + putBack->procedure() +
                    " procedure was stopped before its end. The values it tried have been put "
                    "back: the transceiver holds what it held before the procedure.");
        }
        putBack.reset();
    }
    if (connectAfterPutBack) {
        connectAfterPutBack = false;
        RigOpFunc_ClickCmd00(0);
    } else if (portAfterPutBack) {
        RigOpFunc_SetComPortNo(*portAfterPutBack);
    }
}

std::vector<int32_t> clsIndOp_RigVelka::UnconfirmedTrialAddresses() const {
    std::vector<int32_t> addresses = putBack ? putBack->Unconfirmed() : std::vector<int32_t>{};
    if (procStep != 0) {
        for (const TrialByte& b : trialBytes) {
            if (myRadio.eepImage.ReadByte(b.adr) != b.original) addresses.push_back(b.adr);
        }
    }
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses;
}

}  // namespace calvex
