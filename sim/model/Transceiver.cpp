#include "model/Transceiver.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace velka {

namespace {

constexpr uint8_t kPreamble = 0xFE;
constexpr uint8_t kEnd = 0xFD;
constexpr uint8_t kRadioAdr = 0xEE;
constexpr uint8_t kComputerAdr = 0xEF;
constexpr int kBlockSize = 16;
constexpr int kMaxBody = 512;
// Every this many transmitted bytes the drop-bytes fault loses one.
constexpr uint64_t kDropEvery = 97;
// Block whose checksum the bad-checksum fault spoils, and the half-way block of a hang-up.
constexpr int kSpoiledBlockAdr = 0x0200;
constexpr int kHangupAfterBlocks = 52;

// The nine bytes that close clone data.
const std::string kSignature = "\x56\x61\x72\x6E\x20\x49\x6E\x63\x2E";

std::string asciiHex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 0x0F];
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// E8 commands that write a parameter into the EEPROM, and those of them that the guided
// procedures write (band-pass filter tuning and the reference oscillator table).
bool writesEeprom(int cmd) {
    return (cmd >= 4 && cmd <= 13) || (cmd >= 17 && cmd <= 19) || (cmd >= 20 && cmd < 60);
}
bool procedureCommand(int cmd) {
    return cmd == 12 || cmd == 13 || (cmd >= 20 && cmd < 60);
}

// Two ASCII hex characters as a byte value, or -1.
int hexPair(const std::string& s, size_t pos) {
    if (pos + 1 >= s.size()) {
        return -1;
    }
    const int hi = hexDigit(s[pos]);
    const int lo = hexDigit(s[pos + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(static_cast<uint8_t>(v));
    }
    return out;
}

int64_t byteUs(int32_t baud) {
    return (10 * 1000000LL + baud / 2) / baud;
}

int signedByte(uint8_t b) {
    return b < 128 ? b : b - 256;
}

// How far a band-pass filter setting is from letting the signal through: 1 on its flat top,
// falling off smoothly (but never to nothing) on either side.
double filterResponse(int setting, int best) {
    constexpr int kFlatHalfWidth = 2;
    constexpr double kSkirt = 24.0;
    const double d = std::max(0, std::abs(setting - best) - kFlatHalfWidth);
    return 1.0 / (1.0 + (d / kSkirt) * (d / kSkirt));
}

}  // namespace

Transceiver::Transceiver() : image_(builtInImage()) {}

Transceiver::Transceiver(std::string img) {
    image(std::move(img));
}

void Transceiver::image(std::string img) {
    if (img.size() != static_cast<size_t>(kImageSize)) {
        throw std::invalid_argument("an image holds 1664 bytes, not " + std::to_string(img.size()));
    }
    image_ = std::move(img);
}

void Transceiver::serial(std::string s) {
    if (s.size() != 8) {
        throw std::invalid_argument("a serial number holds 8 characters, not " +
                                    std::to_string(s.size()));
    }
    serial_ = std::move(s);
}

void Transceiver::fault(Fault f, bool on) {
    if (on) {
        faults_.insert(f);
    } else {
        faults_.erase(f);
    }
}

std::string Transceiver::modelCode() const {
    return fault(Fault::WrongModel) ? bytes({0x27, 0x01}) : bytes({0x26, 0x01});
}

std::string Transceiver::subCode() const {
    return fault(Fault::SubCode) ? bytes({0x01, 0x01}) : bytes({0x01, 0x00});
}

void Transceiver::noteClock(int64_t nowMs) {
    if (!clockStartMs_) {
        clockStartMs_ = nowMs;
    }
}

int32_t Transceiver::rateAtUs(int64_t us) const {
    if (revertAtUs_ && us >= *revertAtUs_) {
        return kNormalBaud;
    }
    return rate_;
}

int32_t Transceiver::rate(int64_t nowMs) const {
    return rateAtUs(nowMs * 1000);
}

std::string Transceiver::LineFormat::name() const {
    return std::to_string(dataBits) + parity + std::to_string(stopBits);
}

void Transceiver::fromComputer(const std::string& data, int32_t lineBaud, int64_t nowMs) {
    fromComputer(data, lineBaud, LineFormat{}, nowMs);
}

void Transceiver::fromComputer(const std::string& data, int32_t lineBaud, const LineFormat& format,
                               int64_t nowMs) {
    noteClock(nowMs);
    const int64_t atUs = nowMs * 1000;
    if (revertAtUs_ && atUs >= *revertAtUs_) {
        rate_ = kNormalBaud;
        revertAtUs_.reset();
    }
    for (unsigned char c : data) {
        // The time the byte has crossed the wire: at once, or one byte's time after the last.
        const int64_t byteAtUs =
            pacedInput_ ? (inputFreeUs_ = std::max(inputFreeUs_, atUs) + byteUs(lineBaud)) : atUs;
        hearFromComputer(c, byteAtUs, lineBaud, format);
    }
    if (ignoredRun_ > 0 && trace_) {
        trace_(nowMs, TraceKind::Ignored,
               std::to_string(ignoredRun_) + " bytes at " + std::to_string(lineBaud) + " baud " +
                   format.name());
        ignoredRun_ = 0;
    }
}

void Transceiver::hearFromComputer(uint8_t b, int64_t atUs, int32_t lineBaud,
                                   const LineFormat& format) {
    if (lineDownAt(atUs)) {
        return;  // a cut line carries nothing until the cut is taken
    }
    if (echo_ && !fault(Fault::NoEcho)) {
        echoOut_.push_back({b, atUs});
    }
    if (lineBaud != rateAtUs(atUs) || format != LineFormat{}) {
        // A UART at another rate or format makes garbage of every byte; whatever frame was
        // being received is lost with it. (A real one would take a second stop bit for idle
        // line; this one is strict so that a wrong port setting shows.)
        inFrame_ = false;
        ++ignoredBytes_;
        ++ignoredRun_;
        return;
    }
    if (ignoredRun_ > 0 && trace_) {
        trace_(atUs / 1000, TraceKind::Ignored, std::to_string(ignoredRun_) + " bytes");
    }
    ignoredRun_ = 0;
    hear(b, atUs);
}

void Transceiver::hear(uint8_t b, int64_t atUs) {
    if (b == kPreamble) {
        if (preambleFromUs_ && atUs >= *preambleFromUs_) {
            // The first FE after a clone read, whether a run of FE or a frame's start.
            preambleFromUs_.reset();
            if (reach({CutPoint::Preamble}, atUs)) {
                inFrame_ = false;
                rxBody_.clear();
                return;
            }
        }
        rxBody_.clear();
        inFrame_ = true;
        return;
    }
    if (!inFrame_) {
        return;
    }
    if (b == kEnd) {
        inFrame_ = false;
        const std::string body = rxBody_;
        rxBody_.clear();
        if (trace_) {
            trace_(atUs / 1000, TraceKind::Received,
                   bytes({kPreamble, kPreamble}) + body + bytes({kEnd}));
        }
        handleFrame(body, atUs);
        return;
    }
    rxBody_ += static_cast<char>(b);
    if (rxBody_.size() > static_cast<size_t>(kMaxBody)) {
        inFrame_ = false;  // no frame is this long: line noise
        rxBody_.clear();
    }
}

std::string Transceiver::toComputer(int64_t nowMs) {
    noteClock(nowMs);
    // Nothing due after a cut arrives.
    const int64_t nowUs = cut_ ? std::min(nowMs * 1000, cut_->atUs) : nowMs * 1000;
    std::string out;
    for (;;) {
        const bool echoReady = !echoOut_.empty() && echoOut_.front().dueUs <= nowUs;
        const bool radioReady = !radioOut_.empty() && radioOut_.front().dueUs <= nowUs;
        if (!echoReady && !radioReady) {
            break;
        }
        std::deque<Timed>& q =
            echoReady && (!radioReady || echoOut_.front().dueUs <= radioOut_.front().dueUs)
                ? echoOut_
                : radioOut_;
        out += static_cast<char>(q.front().byte);
        q.pop_front();
    }
    return out;
}

std::optional<int64_t> Transceiver::nextOutputMs() const {
    std::optional<int64_t> us;
    if (!echoOut_.empty()) {
        us = echoOut_.front().dueUs;
    }
    if (!radioOut_.empty()) {
        us = us ? std::min(*us, radioOut_.front().dueUs) : radioOut_.front().dueUs;
    }
    if (!us || (cut_ && *us > cut_->atUs)) {
        return std::nullopt;
    }
    return (*us + 999) / 1000;
}

std::optional<int64_t> Transceiver::cutDueMs() const {
    if (!cut_) {
        return std::nullopt;
    }
    return (cut_->atUs + 999) / 1000;
}

int Transceiver::cutAt(CutPoint p, int occurrence) {
    if (occurrence < 1) {
        throw std::invalid_argument("a cut's occurrence counts from 1, not " +
                                    std::to_string(occurrence));
    }
    const int number = cutsArmedEver_++;
    armed_.push_back({Cut{p, occurrence, number}, 0});
    return number;
}

bool Transceiver::reach(std::initializer_list<CutPoint> points, int64_t atUs) {
    if (cut_) {
        return false;  // one cut at a time
    }
    for (auto it = armed_.begin(); it != armed_.end(); ++it) {
        if (std::find(points.begin(), points.end(), it->cut.point) == points.end()) {
            continue;
        }
        if (++it->seen >= it->cut.occurrence) {
            cut_ = CutUnderWay{*it, atUs};
            armed_.erase(it);
            return true;
        }
    }
    return false;
}

bool Transceiver::takeCut(int64_t nowMs) {
    if (!lineDownAt(nowMs * 1000)) {
        return false;
    }
    lastCut_ = cut_->armed.cut;
    cut_.reset();
    lineCut(nowMs);
    return true;
}

void Transceiver::lineCut(int64_t nowMs) {
    const int64_t atUs = nowMs * 1000;
    radioOut_.clear();
    echoOut_.clear();
    txFreeUs_ = atUs;
    inputFreeUs_ = atUs;  // what the computer's UART still held went nowhere
    inFrame_ = false;
    rxBody_.clear();
    // A clone exchange in progress ends; so does the rate switched for it.
    if (revertAtUs_ || writing_) {
        rate_ = kNormalBaud;
        revertAtUs_.reset();
    }
    writing_ = false;
    hangupAtUs_.reset();
    preambleFromUs_.reset();
    if (cut_ && cut_->atUs > atUs) {
        // A read cut whose clone read has just ended another way: armed again, as it was.
        ArmedCut again = cut_->armed;
        again.seen = again.cut.occurrence - 1;
        const auto pos = std::find_if(armed_.begin(), armed_.end(), [&](const ArmedCut& a) {
            return a.cut.number > again.cut.number;
        });
        armed_.insert(pos, again);
        cut_.reset();
    }
}

bool Transceiver::takeHangup(int64_t nowMs) {
    if (!hangupAtUs_ || nowMs * 1000 < *hangupAtUs_) {
        return false;
    }
    lineCut(nowMs);
    return true;
}

int64_t Transceiver::transmit(const std::string& body, int64_t readyUs) {
    const std::string frame = bytes({kPreamble, kPreamble}) + body + bytes({kEnd});
    const int64_t startUs = std::max(readyUs, txFreeUs_);
    const int64_t perByte = byteUs(rateAtUs(startUs));
    int64_t t = startUs;
    if (trace_ && !fault(Fault::Silent)) {
        trace_(startUs / 1000, TraceKind::Sent, frame);
    }
    for (unsigned char b : frame) {
        t += perByte;
        if (fault(Fault::Silent)) {
            continue;
        }
        ++txCount_;
        if (fault(Fault::DropBytes) && txCount_ % kDropEvery == 0) {
            continue;  // the line still took the time
        }
        radioOut_.push_back({b, t});
    }
    txFreeUs_ = t;
    return t;
}

bool Transceiver::identityMatches(const std::string& payload) const {
    return payload.size() >= 4 && payload.compare(0, 2, modelCode()) == 0 &&
           payload.compare(2, 2, subCode()) == 0;
}

void Transceiver::handleFrame(const std::string& body, int64_t atUs) {
    preambleFromUs_.reset();  // a frame came before any preamble after a clone read
    if (body.size() < 3 || static_cast<uint8_t>(body[0]) != kRadioAdr ||
        static_cast<uint8_t>(body[1]) != kComputerAdr) {
        return;  // not for this radio
    }
    const auto cmd = static_cast<uint8_t>(body[2]);
    const std::string payload = body.substr(3);
    const int64_t readyUs = atUs + 1000 * (fault(Fault::Slow) ? kSlowTurnaroundMs : kTurnaroundMs);
    switch (cmd) {
        case 0xE0:
            // Any model code is answered: identification is how the computer finds out.
            if (payload.size() >= 2) {
                if (reach({CutPoint::Identify}, atUs)) {
                    break;
                }
                writing_ = false;
                answerIdentity(readyUs);
            }
            break;
        case 0xE2:
            if (identityMatches(payload)) {
                writing_ = false;
                // A read cut is set off here and drops the line half-way through the read.
                sendCloneImage(readyUs, reach({CutPoint::Read}, atUs));
            }
            break;
        case 0xE3:
            if (identityMatches(payload)) {
                writing_ = true;
                writeBad_ = false;
                writeBlocks_ = 0;
                writeImage_ = image_;
            }
            break;
        case 0xE4:
            if (writing_) {
                // A write cut drops the line half-way: the write is never finished, so the
                // image stays as it was.
                if (writeBlocks_ == kHangupAfterBlocks && reach({CutPoint::Write}, atUs)) {
                    break;
                }
                ++writeBlocks_;
                takeCloneBlock(payload);
            }
            break;
        case 0xE5:
            if (writing_) {
                finishCloneWrite(payload, readyUs);
            }
            break;
        case 0xE8: {
            if (!identityMatches(payload) || payload.size() < 7) {
                break;
            }
            const int value = hexPair(payload, 5);
            if (value < 0) {
                break;  // the value did not arrive as two hex digits
            }
            const int command = static_cast<uint8_t>(payload[4]);
            const bool cut = (command == 1 && reach({CutPoint::RateSwitch}, atUs)) ||
                             (command == 3 && reach({CutPoint::Reading}, atUs)) ||
                             (procedureCommand(command) &&
                              reach({CutPoint::Adjust, CutPoint::Procedure}, atUs)) ||
                             (writesEeprom(command) && !procedureCommand(command) &&
                              reach({CutPoint::Adjust}, atUs));
            if (!cut) {
                adjust(command, value, readyUs);
            }
            break;
        }
        default:
            break;
    }
}

void Transceiver::answerIdentity(int64_t readyUs) {
    // Body: EF EE E1, model and sub code, then the count of the bytes from here to the end
    // (43 for a 50-byte body), serial number, firmware, band plan, and at byte 43 the
    // protocol revision the computer checks.
    std::string body = bytes({kComputerAdr, kRadioAdr, 0xE1}) + modelCode() + subCode();
    body += static_cast<char>(43);
    body += serial_;                                // bytes 9..16: serial number
    body += bytes({0x01, 0x07});                    // 17..18: firmware 1.07
    body += bytes({0x05, 0x50, 0x06, 0xCC});        // 19..22: band 136.0 .. 174.0 MHz
    body += bytes({0x08, 0x00, 0x19, 0x00, 0x32});  // 23..27: channels, steps
    body += std::string(15, '\0');                  // 28..42
    body += static_cast<char>(fault(Fault::Byte43) ? 0x06 : 0x05);  // 43
    body += std::string(7, '\0');                                   // 44..50
    transmit(body, readyUs);
}

void Transceiver::sendCloneImage(int64_t readyUs, bool cutHalfway) {
    int count = 0;
    int64_t endUs = readyUs;
    auto sendBlock = [&](int adr, const std::string& data, bool spoil) {
        std::string block = bytes({adr >> 8, adr & 0xFF, static_cast<int>(data.size())}) + data;
        int sum = 0;
        for (unsigned char c : block) {
            sum += c;
        }
        int checksum = (256 - sum % 256) % 256;
        if (spoil) {
            checksum = (checksum + 1) % 256;
        }
        block += static_cast<char>(checksum);
        endUs = transmit(bytes({kComputerAdr, kRadioAdr, 0xE4}) + asciiHex(block), readyUs);
        ++count;
    };
    for (int adr = 0; adr < kImageSize; adr += kBlockSize) {
        sendBlock(adr, image_.substr(adr, kBlockSize),
                  fault(Fault::BadChecksum) && adr == kSpoiledBlockAdr);
        if ((fault(Fault::Hangup) || cutHalfway) && count == kHangupAfterBlocks) {
            // The line is cut when this block has gone out: no more blocks, no E5, and the
            // clone read (with a rate switched for it) ends there.
            if (fault(Fault::Hangup)) {
                hangupAtUs_ = endUs;
            }
            if (cutHalfway) {
                cut_->atUs = endUs;
            }
            if (rate_ != kNormalBaud) {
                revertAtUs_ = endUs;
            }
            return;
        }
    }
    if (fault(Fault::OutsideImage)) {
        sendBlock(kImageSize, std::string(kBlockSize, '\xFF'), false);
    }
    const int reported = fault(Fault::CountMismatch) ? count + 1 : count;
    endUs = transmit(
        bytes({kComputerAdr, kRadioAdr, 0xE5}) + kSignature + asciiHex(bytes({reported & 0xFF})),
        readyUs);
    if (rate_ != kNormalBaud) {
        revertAtUs_ = endUs;
    }
    preambleFromUs_ = endUs;
}

void Transceiver::takeCloneBlock(const std::string& payload) {
    // Address (4), count (2), data (2n), checksum (2), all ASCII hex.
    if (payload.size() < 10 || payload.size() % 2 != 0) {
        writeBad_ = true;
        return;
    }
    std::string block;
    for (size_t i = 0; i < payload.size(); i += 2) {
        const int v = hexPair(payload, i);
        if (v < 0) {
            writeBad_ = true;
            return;
        }
        block += static_cast<char>(v);
    }
    int sum = 0;
    for (unsigned char c : block) {
        sum += c;
    }
    const int adr = static_cast<uint8_t>(block[0]) * 256 + static_cast<uint8_t>(block[1]);
    const int n = static_cast<uint8_t>(block[2]);
    if (sum % 256 != 0 || static_cast<size_t>(n) + 4 != block.size() || adr + n > kImageSize) {
        writeBad_ = true;
        return;
    }
    writeImage_.replace(static_cast<size_t>(adr), static_cast<size_t>(n), block.substr(3, n));
}

void Transceiver::finishCloneWrite(const std::string& payload, int64_t readyUs) {
    writing_ = false;
    const bool good = payload.size() >= kSignature.size() &&
                      payload.compare(0, kSignature.size(), kSignature) == 0 && !writeBad_ &&
                      !fault(Fault::WriteFail);
    if (good) {
        image_ = writeImage_;
        ++cloneWrites_;
    }
    const int64_t endUs =
        transmit(bytes({kComputerAdr, kRadioAdr, 0xE6, good ? 0x00 : 0x01}), readyUs);
    if (rate_ != kNormalBaud) {
        revertAtUs_ = endUs;
    }
}

void Transceiver::adjust(int cmd, int value, int64_t readyUs) {
    lastCommand_ = cmd;
    lastValue_ = value;
    auto store = [&](int adr) { image_[static_cast<size_t>(adr)] = static_cast<char>(value); };
    switch (cmd) {
        case 0:
            if (value >= 1 && value <= 8) {
                channel_ = value - 1;
            }
            return;
        case 1:
            if (value == 0x0F) {
                // The switch takes effect once the command has been heard, and holds until
                // the next clone exchange has ended.
                rate_ = kHighBaud;
                revertAtUs_.reset();
            }
            return;
        case 2:
            adjustMode_ = value == 1;
            return;
        case 3:
            answerReading(value, readyUs);
            return;
        case 4:
            store(274);
            return;
        case 5:
            store(79);
            return;
        case 6:
            store(78);
            return;
        case 7:
            store(77);
            return;
        case 8:
            store(72);
            return;
        case 9:
            store(73);
            return;
        case 10:
            store(106);
            return;
        case 11:
            store(107);
            return;
        case 12:
            store(68);
            return;
        case 13:
            store(69);
            return;
        case 17:
            store(76);
            return;
        case 18:
            store(86);
            return;
        case 19:
            store(87);
            return;
        default:
            if (cmd >= 20 && cmd < 60) {
                store(216 + cmd - 20);
            }
            return;  // other commands are accepted and ignored
    }
}

void Transceiver::answerReading(int channel, int64_t readyUs) {
    const int64_t nowMs = readyUs / 1000;
    std::string value = asciiHex(bytes({reading(channel, nowMs)}));
    std::string identity = modelCode() + subCode();
    if (fault(Fault::BadReading)) {
        switch (badReadingCount_++ % 3) {
            case 0:
                value += '0';
                break;  // one digit too many
            case 1:
                identity = bytes({0x26, 0x01, 0x01, 0x01});
                break;  // foreign identity
            default:
                value = "G0";
                break;  // not a hex number
        }
    }
    transmit(bytes({kComputerAdr, kRadioAdr, 0xE8}) + identity + bytes({0x03}) + value, readyUs);
}

void Transceiver::temperature(double celsius, double driftPerMinute) {
    celsius_ = celsius;
    driftPerMinute_ = driftPerMinute;
}

double Transceiver::temperatureAt(int64_t nowMs) const {
    const double minutes =
        clockStartMs_ ? static_cast<double>(nowMs - *clockStartMs_) / 60000.0 : 0.0;
    return std::clamp(celsius_ + driftPerMinute_ * minutes, -40.0, 100.0);
}

int Transceiver::reading(int channel, int64_t nowMs) const {
    auto clampByte = [](double v) {
        return static_cast<int>(std::clamp(std::lround(v), 0L, 255L));
    };
    const bool narrow = (imageByte(621 + 24 * channel_) & 0x80) != 0;
    switch (channel) {
        case 0:  // supply 13.8 V on a 20 V scale
            return clampByte(13.8 * 255.0 / 20.0);
        case 3: {
            // NTC 47 kOhm at 25 degrees, B 4000 K, with 100 kOhm from a 5 V reference.
            const double kelvin = temperatureAt(nowMs) + 273.15;
            const double r = 47000.0 * std::exp(4000.0 * (1.0 / kelvin - 1.0 / 298.15));
            return clampByte(500000.0 / (r + 100000.0) * 255.0 / 5.0);
        }
        case 4: {
            const double r1 = filterResponse(signedByte(imageByte(68)), kBpfT1Best);
            const double r2 = filterResponse(signedByte(imageByte(69)), kBpfT2Best);
            return clampByte(20.0 + 210.0 * r1 * r2);
        }
        case 5:  // the supply through its divider, on the 5 V scale
            return clampByte(13.8 * 100.0 / 13.8);
        case 11:
            return imageByte(76);
        case 12: {
            // Reference oscillator D/A: the current area's initial value and slant.
            const int t = reading(3, nowMs);
            int area = 19;
            for (int i = 0; i < 19; ++i) {
                if (t < kTempBorders[i + 1]) {
                    area = i;
                    break;
                }
            }
            const double slant = signedByte(imageByte(216 + 2 * area));
            return clampByte(imageByte(217 + 2 * area) + slant * (t - kTempBorders[area]) / 32.0);
        }
        case 13:
            return imageByte(narrow ? 107 : 106);
        case 14:
            return imageByte(narrow ? 73 : 72);
        case 15:
            return imageByte(274);
        case 16:
            return signedByte(imageByte(68)) + 128;
        case 17:
            return signedByte(imageByte(69)) + 128;
        case 18:
            return imageByte(101);
        default:
            return 0;
    }
}

}  // namespace velka
