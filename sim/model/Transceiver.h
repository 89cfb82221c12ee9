#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/BuiltInImage.h"
#include "model/CutPoint.h"
#include "model/Fault.h"

namespace velka {

// The simulated Velka transceiver behind its clone cable. Bytes in, bytes out, on a millisecond
// clock the caller supplies (it must not go backwards). The radio hears the computer's bytes as
// they are handed in (or at their wire pace, see pacedInput), provided the computer's line rate
// matches its own; its answers reach the computer paced at 10 bits a byte.
class Transceiver {
  public:
    static constexpr int32_t kNormalBaud = 9600;
    static constexpr int32_t kHighBaud = 38400;
    // Time from the end of a request to the start of its answer.
    static constexpr int64_t kTurnaroundMs = 2;
    static constexpr int64_t kSlowTurnaroundMs = 1500;
    // Band-pass filter settings (signed D/A values) at the middle of each filter's flat top.
    static constexpr int kBpfT1Best = 14;
    static constexpr int kBpfT2Best = -20;

    enum class TraceKind { Received, Sent, Ignored };
    // Called once per frame heard or sent (and per run of bytes heard at the wrong rate or
    // format).
    using TraceSink = std::function<void(int64_t ms, TraceKind kind, const std::string& bytes)>;

    // How the computer's UART frames a byte. The radio's takes 8 data bits, no parity and one
    // stop bit only: a byte framed any other way is garbage to it, like one at another rate.
    struct LineFormat {
        int dataBits = 8;
        char parity = 'N';  // N none, E even, O odd, M mark, S space
        int stopBits = 1;
        bool operator==(const LineFormat&) const = default;
        std::string name() const;  // "8N1"
    };

    Transceiver();
    // Starts from the given image; anything but 1664 bytes throws std::invalid_argument.
    explicit Transceiver(std::string img);

    // The computer's bytes, sent at lineBaud (and 8N1 unless format says otherwise) at time
    // nowMs.
    void fromComputer(const std::string& data, int32_t lineBaud, int64_t nowMs);
    void fromComputer(const std::string& data, int32_t lineBaud, const LineFormat& format,
                      int64_t nowMs);
    // Bytes that have reached the computer by nowMs: echo and answers, in line order.
    std::string toComputer(int64_t nowMs);
    // When the next waiting byte reaches the computer; nothing when none is waiting.
    std::optional<int64_t> nextOutputMs() const;

    // The line was cut (the far side closed): pending answers are lost, a clone exchange ends
    // (a rate switched to 38400 for it returns to 9600). A read cut set off but not yet due is
    // armed again, as it was.
    void lineCut(int64_t nowMs);
    // True once when the hang-up fault has cut the line by nowMs.
    bool takeHangup(int64_t nowMs);

    // One armed line cut, and which call of cutAt armed it (0, 1, ... in order).
    struct Cut {
        CutPoint point;
        int occurrence;
        int number;
    };
    // Arms one line cut at the occurrence-th time (counting from 1, from now on) the radio
    // reaches point p; returns the cut's number. Armed cuts are consulted in the order they
    // were armed: each counts a frame that reaches its point, and the first to reach its
    // occurrence cuts the line there; cuts armed after it do not count that frame. While one
    // cut is under way (set off and not yet taken) no other counts anything. An occurrence
    // below 1 throws std::invalid_argument.
    int cutAt(CutPoint p, int occurrence = 1);
    // True once when an armed cut has dropped the line by nowMs; the radio then behaves as
    // after lineCut. From the moment of the cut until it is taken the line is dead: the
    // radio hears nothing, the cable echoes nothing, and nothing due after the cut arrives.
    bool takeCut(int64_t nowMs);
    // When a cut that has been set off drops the line (a read cut is set off by the E2 and
    // drops the line after its 52nd block); nothing when none is under way.
    std::optional<int64_t> cutDueMs() const;
    // The last cut takeCut reported.
    std::optional<Cut> lastCut() const { return lastCut_; }
    // Armed cuts that have not been set off yet.
    int cutsArmed() const { return static_cast<int>(armed_.size()); }

    const std::string& image() const { return image_; }
    // Same size rule as the constructor.
    void image(std::string img);
    uint8_t imageByte(int32_t adr) const { return static_cast<uint8_t>(image_.at(adr)); }

    // Serial number the radio reports in its identification, "20417735" unless set. Anything
    // but 8 characters throws std::invalid_argument; FE or FD among them would break the frame.
    const std::string& serial() const { return serial_; }
    void serial(std::string s);

    // The radio's line rate at nowMs.
    int32_t rate(int64_t nowMs) const;
    // Model and sub code as the radio reports them (two bytes each).
    std::string modelCode() const;
    std::string subCode() const;
    // Last adjustment command heard (-1 none) and its value.
    int lastCommand() const { return lastCommand_; }
    int lastValue() const { return lastValue_; }
    // Memory channel selected by command 0 (0-based).
    int channel() const { return channel_; }
    bool adjustMode() const { return adjustMode_; }
    // Bytes heard at the wrong line rate or format and so ignored.
    int64_t ignoredBytes() const { return ignoredBytes_; }
    int cloneWrites() const { return cloneWrites_; }

    void fault(Fault f, bool on);
    bool fault(Fault f) const { return faults_.count(f) != 0; }
    // The computer's bytes take their wire time (off by default): handed in at once, each
    // reaches the radio, and comes back as echo, 10 bits after the one before it at the
    // computer's rate, as through a real UART and cable. Off, they arrive as they are handed in
    // (a pty or a loopback, faster than any cable).
    void pacedInput(bool on) { pacedInput_ = on; }
    bool pacedInput() const { return pacedInput_; }
    // The cable's echo (on by default).
    void echo(bool on) { echo_ = on; }
    bool echo() const { return echo_; }

    // Case temperature in degrees Celsius, drifting by driftPerMinute from the first time the
    // radio sees the clock.
    void temperature(double celsius, double driftPerMinute = 0.0);
    double temperatureAt(int64_t nowMs) const;
    // The 8-bit reading of a monitor channel (E8 command 03) at nowMs.
    int reading(int channel, int64_t nowMs) const;

    void trace(TraceSink sink) { trace_ = std::move(sink); }

  private:
    struct Timed {
        uint8_t byte;
        int64_t dueUs;
    };

    // One byte of the computer's, crossing the wire at atUs.
    void hearFromComputer(uint8_t b, int64_t atUs, int32_t lineBaud, const LineFormat& format);
    void hear(uint8_t b, int64_t atUs);
    void handleFrame(const std::string& body, int64_t atUs);
    bool identityMatches(const std::string& payload) const;
    void answerIdentity(int64_t readyUs);
    // cutHalfway: an armed read cut was set off by this clone read.
    void sendCloneImage(int64_t readyUs, bool cutHalfway);
    void takeCloneBlock(const std::string& payload);
    void finishCloneWrite(const std::string& payload, int64_t readyUs);
    void adjust(int cmd, int value, int64_t readyUs);
    void answerReading(int channel, int64_t readyUs);
    // Queues one frame (FE FE, body, FD) after whatever is already on the line; returns the
    // time its last byte arrives.
    int64_t transmit(const std::string& body, int64_t readyUs);
    int32_t rateAtUs(int64_t us) const;
    void noteClock(int64_t nowMs);
    // The radio reaches a point (a frame may reach two); true when an armed cut is set off,
    // which then drops the line at atUs.
    bool reach(std::initializer_list<CutPoint> points, int64_t atUs);
    bool lineDownAt(int64_t us) const { return cut_ && us >= cut_->atUs; }

    std::string image_;
    std::string serial_ = "20417735";
    std::set<Fault> faults_;
    bool echo_ = true;

    // Receiver.
    std::string rxBody_;
    bool inFrame_ = false;
    int64_t ignoredBytes_ = 0;
    int64_t ignoredRun_ = 0;

    // Line rate: high after the switch command until the next clone exchange has ended.
    int32_t rate_ = kNormalBaud;
    std::optional<int64_t> revertAtUs_;

    // Clone write in progress.
    bool writing_ = false;
    bool writeBad_ = false;
    int writeBlocks_ = 0;
    std::string writeImage_;
    int cloneWrites_ = 0;

    std::optional<int64_t> hangupAtUs_;

    // Line cuts: armed, under way (set off; the line is dead from atUs until taken), taken.
    struct ArmedCut {
        Cut cut;
        int seen = 0;
    };
    struct CutUnderWay {
        ArmedCut armed;
        int64_t atUs;
    };
    std::vector<ArmedCut> armed_;
    int cutsArmedEver_ = 0;
    std::optional<CutUnderWay> cut_;
    std::optional<Cut> lastCut_;
    // After a clone read's E5 the first FE heard from this time on reaches the preamble point.
    std::optional<int64_t> preambleFromUs_;

    int lastCommand_ = -1;
    int lastValue_ = 0;
    int channel_ = 0;
    bool adjustMode_ = false;
    int badReadingCount_ = 0;

    double celsius_ = 25.0;
    double driftPerMinute_ = 0.0;
    std::optional<int64_t> clockStartMs_;

    // Bytes on their way to the computer: the echo and the radio's own transmission.
    std::deque<Timed> echoOut_;
    std::deque<Timed> radioOut_;
    int64_t txFreeUs_ = 0;
    // Paced input: when the computer's UART has sent its last byte handed in.
    bool pacedInput_ = false;
    int64_t inputFreeUs_ = 0;
    uint64_t txCount_ = 0;

    TraceSink trace_;
};

}  // namespace velka
