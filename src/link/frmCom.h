#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "link/ILineEvents.h"
#include "link/ISerialControl.h"

namespace calvex {

// The hidden serial port form: the port alone. Keeps the port number and rate, opens and closes
// the port, collects port-level errors and tells the clone line (ILineEvents) of resets, line
// noise and waiting bytes. The clone driver and the 50 ms heartbeat live above it (CloneLine).
class frmCom {
  public:
    static constexpr int16_t imdMinComPortNum = 1;
    static constexpr int16_t imdmaxComPortNum = 10;
    static constexpr int32_t kNormalBaud = 9600;
    static constexpr int32_t kHighBaud = 38400;

    explicit frmCom(ISerialControl& port);
    frmCom(const frmCom&) = delete;
    frmCom& operator=(const frmCom&) = delete;
    ~frmCom();

    // Who hears of resets, noise and waiting bytes; none: nobody.
    void lineEvents(ILineEvents* events) { events_ = events; }
    // The serial control itself, through which the clone driver writes its frames.
    ISerialControl& MsCom() { return port_; }
    // All bytes waiting at the port (empty when none).
    std::string TakeInput();

    // Closes the port and applies the normal configuration (port 1, 9600 baud).
    void Reset();
    // As Reset, at the high rate and with a receive threshold of 1024 bytes.
    void HighSpeedBRatioSet();

    int16_t comPortNum() const { return comPortNum_; }
    // Values outside imdMinComPortNum..imdmaxComPortNum are ignored.
    void comPortNum(int16_t port);
    int32_t comBaud() const { return comBaud_; }
    void comBaud(int32_t baud) { comBaud_ = baud; }
    void lnkSettings(const std::string& settings);

    bool comOpen() const;
    void comOpen(bool open);
    // Counts every change of the line under the program: each open and close of the port, a
    // lost device, a buffer overflow and another port number. What was learnt of the radio on
    // the line (its identity) holds only while this count stays the same.
    uint64_t lineEpoch() const { return lineEpoch_; }
    // Bytes written but not yet handed to the system's driver; 0 for a closed port.
    int16_t comOutPending() const;
    bool comSendEnable() const { return comOpen(); }

    bool errOverflow() const { return errOverflow_; }
    void errOverflow(bool on) { errOverflow_ = on; }
    bool errCannotOpen() const { return errCannotOpen_; }
    void errCannotOpen(bool on) { errCannotOpen_ = on; }
    // A fault of the port itself: it could not be opened, overflowed or was lost.
    bool portFault() const { return errOverflow_ || errCannotOpen_ || lineLost_; }

    // The device went away while the port was open. Until the sequencer's full reset (which
    // follows the report of the fault) the port is not opened again, so nothing reaches a
    // device that comes back at the same path in the middle of an operation; the resets inside
    // an operation do not clear it.
    bool lineLost() const { return lineLost_; }
    void clearLineLost() { lineLost_ = false; }
    // The detail shown for a lost device.
    static constexpr const char* kDisconnected =
        "disconnected while in use: the cable or USB adapter was removed or stopped responding.";

    // Device and system reason of the last failed open or lost port, for the message detail.
    const std::string& openErrorDevice() const { return openErrorDevice_; }
    const std::string& openErrorReason() const { return openErrorReason_; }

    // Closes the port and saves the settings (through the hook, when one is set).
    void AllOver();
    void saveProfileHook(std::function<void()> hook) { saveProfile_ = std::move(hook); }

    // Form_Unload: closes the port; the caller stops the timer.
    void Form_Unload() { comOpen(false); }

    // The serial control's event, by its CommEvent code.
    void MsCom_OnComm();

  private:
    void ApplyConfig(int32_t baud, int16_t rThreshold);
    void NoteError(const std::exception& e);

    void LineReset();

    ISerialControl& port_;
    ILineEvents* events_ = nullptr;
    int16_t comPortNum_ = 1;
    int32_t comBaud_ = kNormalBaud;
    bool errCannotOpen_ = false;
    bool errOverflow_ = false;
    bool errorNoted_ = false;
    bool lineLost_ = false;
    uint64_t lineEpoch_ = 0;
    std::string openErrorDevice_;
    std::string openErrorReason_;
    std::function<void()> saveProfile_;
};

}  // namespace calvex
