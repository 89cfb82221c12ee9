#include "link/frmCom.h"

#include <exception>

namespace calvex {

namespace {

constexpr int16_t kInBufferSize = 32760;
constexpr int16_t kOutBufferSize = 1024;

// Runs one step against the control; a failure is handed to noted instead of stopping the caller.
template <typename Step, typename Noted>
void Guarded(Step step, Noted noted) {
    try {
        step();
    } catch (const std::exception& e) {
        noted(e);
    }
}

}  // namespace

frmCom::frmCom(ISerialControl& port) : port_(port) {
    port_.OnComm([this] { MsCom_OnComm(); });
    Reset();
}

frmCom::~frmCom() {
    port_.OnComm(nullptr);
}

void frmCom::NoteError(const std::exception& e) {
    errorNoted_ = true;
    if (const auto* se = dynamic_cast<const SerialError*>(&e)) {
        openErrorDevice_ = se->device();
        openErrorReason_ = se->reason();
    } else {
        openErrorDevice_.clear();
        openErrorReason_ = e.what();
    }
}

void frmCom::ApplyConfig(int32_t baud, int16_t rThreshold) {
    comOpen(false);
    comPortNum_ = 1;
    comBaud_ = baud;
    ++lineEpoch_;
    // The port is closed here; a control that still refuses a setting keeps its old one.
    const auto ignore = [](const std::exception&) {};
    Guarded([&] { port_.DTREnable(true); }, ignore);
    Guarded([&] { port_.RTSEnable(true); }, ignore);
    Guarded([&] { port_.InBufferSize(kInBufferSize); }, ignore);
    Guarded([&] { port_.OutBufferSize(kOutBufferSize); }, ignore);
    Guarded([&] { port_.InputLen(0); }, ignore);
    Guarded([&] { port_.InputMode(kInputModeBinary); }, ignore);
    Guarded([&] { port_.RThreshold(rThreshold); }, ignore);
    Guarded([&] { port_.SThreshold(0); }, ignore);
    errCannotOpen_ = false;
    errOverflow_ = false;
}

void frmCom::Reset() {
    ApplyConfig(kNormalBaud, 1);
}

void frmCom::HighSpeedBRatioSet() {
    ApplyConfig(kHighBaud, 1024);
}

void frmCom::comPortNum(int16_t port) {
    if (port < imdMinComPortNum || port > imdmaxComPortNum || port == comPortNum_) return;
    comPortNum_ = port;
    ++lineEpoch_;
}

void frmCom::lnkSettings(const std::string& settings) {
    Guarded([&] { port_.Settings(settings); }, [](const std::exception&) {});
}

bool frmCom::comOpen() const {
    return port_.PortOpen();
}

void frmCom::comOpen(bool open) {
    const bool wasOpen = port_.PortOpen();
    // Counted however the change ends: a failed open counts as a change of the line too.
    struct CountChange {
        frmCom& com;
        bool wasOpen;
        ~CountChange() {
            if (com.port_.PortOpen() != wasOpen || com.errCannotOpen_) ++com.lineEpoch_;
        }
    } countChange{*this, wasOpen};
    if (open && lineLost_) {
        // The detail of the loss stays: it is what the technician needs to hear.
        errCannotOpen_ = true;
        LineReset();
        return;
    }
    errorNoted_ = false;
    const auto note = [this](const std::exception& e) { NoteError(e); };
    if (open && !port_.PortOpen()) {
        Guarded([&] { port_.CommPort(comPortNum_); }, note);
        Guarded([&] { port_.Settings(std::to_string(comBaud_) + ",N,8,1"); }, note);
    }
    Guarded([&] { port_.OutBufferCount(0); }, note);
    Guarded(
        [&] {
            if (port_.PortOpen() != open) port_.PortOpen(open);
        },
        note);
    if (errorNoted_ && open) {
        Guarded([&] { port_.PortOpen(false); }, [](const std::exception&) {});
        errCannotOpen_ = true;
    }
    LineReset();
}

int16_t frmCom::comOutPending() const {
    try {
        return port_.PortOpen() ? port_.OutBufferCount() : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

void frmCom::LineReset() {
    if (events_ != nullptr) events_->LineReset();
}

std::string frmCom::TakeInput() {
    return port_.InBufferCount() > 0 ? port_.Input() : std::string{};
}

void frmCom::AllOver() {
    comOpen(false);
    if (saveProfile_) saveProfile_();
}

void frmCom::MsCom_OnComm() {
    switch (port_.CommEvent()) {
        case comm_event::kReceive:
            if (port_.InBufferCount() > 0 && events_ != nullptr) events_->BytesWaiting();
            break;
        case comm_event::kRxOver:
            errOverflow_ = true;
            comOpen(false);
            break;
        case comm_event::kDeviceLost:
            // A port that dies while open is reported like one that cannot be opened. The
            // system's own reason after a loss ("Inappropriate ioctl for device") tells a
            // technician nothing, so the detail says what happened.
            openErrorDevice_ = port_.LastFault() != nullptr ? port_.LastFault()->device() : "";
            openErrorReason_ = kDisconnected;
            // Only flags here: the loss may be reported from inside a write of the driver. The
            // operation under way ends at its next step (the sequencer), and the tick closes the
            // port when no operation is left to do it.
            errCannotOpen_ = true;
            lineLost_ = true;
            ++lineEpoch_;
            break;
        case comm_event::kBreak:
        case comm_event::kCtsTimeout:
        case comm_event::kDsrTimeout:
        case comm_event::kFrame:
        case comm_event::kOverrun:
        case comm_event::kCdTimeout:
        case comm_event::kRxParity:
        case comm_event::kTxFull:
        case comm_event::kDcb:
            if (events_ != nullptr) events_->LineNoise();
            break;
        default:
            break;
    }
}

}  // namespace calvex
