#pragma once

#include <optional>

#include "rig/clsIndOp_RigVelka.h"

namespace calvex {

// Reaches the transceiver class's task state, which the task itself will drive.
struct RigVelkaTestAccess {
    static int16_t& opState(clsIndOp_RigVelka& r) { return r.opState; }
    // The state of the restore asked for or under way; none without one.
    static std::optional<RestoreOperation::State> restoreState(const clsIndOp_RigVelka& r) {
        if (!r.restore) return std::nullopt;
        return r.restore->state();
    }
    static int16_t& procStep(clsIndOp_RigVelka& r) { return r.procStep; }
    static bool& reloadRequest(clsIndOp_RigVelka& r) { return r.reloadRequest; }
    static bool& dispParaRequest(clsIndOp_RigVelka& r) { return r.dispParaRequest; }
    static int32_t waitE8Ms(const clsIndOp_RigVelka& r) { return r.waitE8Ms; }
    static float txfCoef(const clsIndOp_RigVelka& r, std::size_t i) { return r.txfCoef.at(i); }
    static std::array<float, 22>& txfCoefs(clsIndOp_RigVelka& r) { return r.txfCoef; }
    static std::array<int16_t, 9>& chList(clsIndOp_RigVelka& r) { return r.chList; }
    static int16_t& curChannel(clsIndOp_RigVelka& r) { return r.curChannel; }
    static std::array<bool, 3>& bpfSweep(clsIndOp_RigVelka& r) { return r.bpfSweep; }
    static bool& bpfSweepAll(clsIndOp_RigVelka& r) { return r.bpfSweepAll; }
    static int16_t& idxBpfAll(clsIndOp_RigVelka& r) { return r.idxBpfAll; }
    static bool& txfNext(clsIndOp_RigVelka& r) { return r.txfNext; }
    static bool& txfSecondPhase(clsIndOp_RigVelka& r) { return r.txfSecondPhase; }
    static bool& txfWriteAll(clsIndOp_RigVelka& r) { return r.txfWriteAll; }
    static bool& rssiNext(clsIndOp_RigVelka& r) { return r.rssiNext; }
    static bool& rssiS1Phase(clsIndOp_RigVelka& r) { return r.rssiS1Phase; }
    static const std::array<int16_t, 5>& lastMon(const clsIndOp_RigVelka& r) { return r.lastMon; }
    static const std::array<int16_t, 9>& lastAdj(const clsIndOp_RigVelka& r) { return r.lastAdj; }
    static int16_t& txfFirstValue(clsIndOp_RigVelka& r) { return r.txfFirstValue; }

    // Single pieces of the task, driven one call at a time. What a step queues goes out after
    // it, as the task sends it; with a sequencer that ends at once, the image then follows.
    static void sendQueued(clsIndOp_RigVelka& r) {
        r.FlushOutbox();
        r.SettleSent();
    }
    static bool runProcedureStep(clsIndOp_RigVelka& r) {
        const bool advanced = r.RunProcedureStep();
        sendQueued(r);
        return advanced;
    }
    static void updateMainControls(clsIndOp_RigVelka& r) { r.UpdateMainControls(); }
    static bool readMonitor(clsIndOp_RigVelka& r, int16_t row, bool first) {
        return r.ReadMonitor(row, first);
    }
    static bool readAdjustMonitor(clsIndOp_RigVelka& r, int16_t row, bool first) {
        return r.ReadAdjustMonitor(row, first);
    }
};

}  // namespace calvex
