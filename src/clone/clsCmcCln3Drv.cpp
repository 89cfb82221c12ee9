#include "clone/clsCmcCln3Drv.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "base/Common.h"

namespace calvex {

namespace {

constexpr char kFE = '\xFE';
constexpr char kFD = '\xFD';

// Byte at a 1-based position, or -1 when the body is too short.
int byteAt(const std::string& s, std::size_t pos) {
    if (pos < 1 || pos > s.size()) return -1;
    return static_cast<unsigned char>(s[pos - 1]);
}

// Value of the two ASCII hex characters at 1-based position pos, or -1.
int hexPairAt(const std::string& s, std::size_t pos) {
    return pos < 1 ? -1 : HexByteAt(s, pos - 1);
}

// The identification bytes travel as BCD-like digits; the answer counts as numeric when its hex
// text is all decimal digits, or digits with one exponent letter (D or E) between them whose
// value stays finite.
bool isNumericText(const std::string& text) {
    if (text.empty()) return false;
    int letters = 0;
    std::string number = text;
    for (std::size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        if (c >= '0' && c <= '9') continue;
        if ((c == 'D' || c == 'E') && i > 0 && i + 1 < number.size() && ++letters == 1) {
            number[i] = 'E';
            continue;
        }
        return false;
    }
    if (letters == 0) return true;
    errno = 0;
    const double v = std::strtod(number.c_str(), nullptr);
    return errno != ERANGE && std::isfinite(v);
}

bool idBytesNumeric(const std::string& body) {
    if (body.size() < 7) return false;
    return isNumericText(ByteStrToHexStr(body.substr(3, 4)));
}

}  // namespace

const std::string& clsCmcCln3Drv::signature() {
    static const std::string sig = HexStrToByteStr("5661726E20496E632E");
    return sig;
}

clsCmcCln3Drv::clsCmcCln3Drv(ITickSource& ticks) : waitTick_(ticks) {
    Reset();
}

void clsCmcCln3Drv::workMode(int16_t mode) {
    workMode_ = mode;
    varLastE8Answer_.clear();
    lastEeAdr_ = 0;
    waitAnswer_ = (mode == 1 || mode == 2 || mode == 4);
    if (mode == 2) {
        readCovered_.clear();
        cloneReadComplete_ = false;
    }
}

void clsCmcCln3Drv::cloneWriteAdrList(const std::string& list) {
    adrList_ = list;
    nextAdr_ = ByteStrHexToInt(adrList_.substr(0, 4));
}

void clsCmcCln3Drv::nowError(DriverError code) {
    nowError_ = code;
    if (code != DriverError::None) lastError_ = code;
    EndExchange();
}

bool clsCmcCln3Drv::SendEnable() const {
    if (!sendIdle_ || port_ == nullptr || !port_->PortOpen()) return false;
    return port_->OutBufferSize() - port_->OutBufferCount() > 256;
}

void clsCmcCln3Drv::WriteToPort(const std::string& bytes) {
    // A port that fails under the write loses these bytes; the answer time-out reports it.
    try {
        port_->Output(bytes);
    } catch (const std::exception&) {
    }
}

int16_t clsCmcCln3Drv::Send(const std::string& data) {
    // A count mismatch belongs to the read that saw it, not to whatever comes next.
    cntMismatch_ = false;
    const int16_t result = RealSend(data);
    retriesLeft_ = retryCount_;
    return result;
}

int16_t clsCmcCln3Drv::RealSend(const std::string& data) {
    if (!txBuf_.empty() || !SendEnable()) return 1;
    lastSent_ = data;
    txBuf_ = std::string("\xFE\xFE\xEE\xEF", 4) + data + kFD;
    if (workMode_ == 5) {
        const int key = byteAt(data, 6);
        e8Key_ = static_cast<uint8_t>(key < 0 ? 0 : key);
    }
    WriteToPort(txBuf_);
    sendIdle_ = false;
    if (waitEcho()) {
        running_ = true;
        // The line echoes every byte; the echo is taken as received at once.
        OnFrameEvent();
    } else if (waitAnswer_) {
        running_ = true;
        StartWait(2);
    } else {
        EndExchange();
    }
    // The follow-up may have moved on to a mode that waits (clone write to its closing E5).
    if (!waitAnswer_) EndExchange();
    return 0;
}

int16_t clsCmcCln3Drv::RetrySend() {
    if (retriesLeft_ < 1) return 1;
    EndExchange();
    const int16_t result = RealSend(lastSent_);
    retriesLeft_ = static_cast<int16_t>(retriesLeft_ - 1);
    return result;
}

void clsCmcCln3Drv::SendFE(int16_t count) {
    if (count > 0) txBuf_.append(static_cast<std::size_t>(count), kFE);
    // Writing to a closed port would fail; the preamble is simply not sent then.
    if (port_ != nullptr && port_->PortOpen()) WriteToPort(txBuf_);
}

void clsCmcCln3Drv::StartWait(int16_t state) {
    waitState_ = state;
    waitTick_.counter(kAnswerTimeout);
}

void clsCmcCln3Drv::OnFrameEvent() {
    if (waitAnswer_) {
        StartWait(2);
        return;
    }
    switch (workMode_) {
        case 3: {
            EndExchange();
            int16_t refused = 0;
            if (nextAdr_ >= 0) {
                refused = Send(BuildCloneWriteFrame());
            } else {
                workMode(4);
                refused = Send(std::string(1, static_cast<char>(clonecmd::kEnd)) + signature());
            }
            if (refused != 0) nowError(DriverError::WriteRefused);
            break;
        }
        case 4:
        case 5:
            EndExchange();
            break;
        default:
            break;
    }
}

std::string clsCmcCln3Drv::BuildCloneWriteFrame() {
    const int32_t end = ByteStrHexToInt(adrList_.size() > 5 ? adrList_.substr(5, 4) : "");
    int32_t n = sizDataOfPacket_;
    if (nextAdr_ + n - 1 > end) n = end - nextAdr_ + 1;
    std::string block;
    block.push_back(static_cast<char>((nextAdr_ / 256) & 0xFF));
    block.push_back(static_cast<char>((nextAdr_ % 256) & 0xFF));
    block.push_back(static_cast<char>(n & 0xFF));
    if (myEep_ != nullptr) block += myEep_->ReadBlock(nextAdr_, n);
    unsigned sum = 0;
    for (char c : block)
        sum += static_cast<unsigned char>(c);
    block.push_back(static_cast<char>((256 - sum % 256) % 256));
    std::string data =
        std::string(1, static_cast<char>(clonecmd::kData)) + StrToByteStr(ByteStrToHexStr(block));
    lastEeAdr_ = nextAdr_ + n - 1;
    if (nextAdr_ + n - 1 < end) {
        nextAdr_ += n;
    } else {
        adrList_.erase(0, std::min<std::size_t>(10, adrList_.size()));
        nextAdr_ = adrList_.size() < 10 ? -1 : ByteStrHexToInt(adrList_.substr(0, 4));
    }
    return data;
}

void clsCmcCln3Drv::read(std::string chunk) {
    while (!chunk.empty()) {
        if (waitState_ == 0) return;
        const auto s = chunk.find(kFE);
        const auto e = chunk.find(kFD);
        if (s != std::string::npos && (e == std::string::npos || s < e)) {
            chunk.erase(0, s + 1);
            rxBuf_.clear();
            rxHunting_ = false;
        } else if (e != std::string::npos) {
            if (rxHunting_) return;
            rxBuf_.append(chunk, 0, e);
            if (rxBuf_.size() > kRxBufMax) rxBuf_.erase(0, rxBuf_.size() - kRxBufMax);
            chunk.erase(0, e + 1);
            const std::string body = rxBuf_;
            OnFrameReceived(body);
            rxBuf_.clear();
            rxHunting_ = true;
        } else {
            if (rxHunting_) return;
            rxBuf_ += chunk;
            if (rxBuf_.size() > kRxBufMax) rxBuf_.erase(0, rxBuf_.size() - kRxBufMax);
            chunk.clear();
        }
    }
}

void clsCmcCln3Drv::OnFrameReceived(const std::string& body) {
    varLastE8Answer_ = body;
    if (CheckAnswer(body) == Verdict::Accepted) EndExchange();
}

clsCmcCln3Drv::Verdict clsCmcCln3Drv::CheckAnswer(const std::string& body) {
    if (body.size() < 3) return Verdict::Ignored;
    if (byteAt(body, 1) != 0xEF || byteAt(body, 2) != 0xEE) return Verdict::Ignored;
    const int cmd = byteAt(body, 3);
    if (cmd == clonecmd::kIdentityAnswer && workMode_ == 1) {
        if (IsFrameBad(body)) {
            nowError(DriverError::IllegalData);
            return Verdict::Error;
        }
        ansInfo_ = body;
        return Verdict::Accepted;
    }
    if (cmd == clonecmd::kData && workMode_ == 2) {
        if (IsFrameBad(body)) {
            nowError(DriverError::IllegalData);
            return Verdict::Error;
        }
        waitTick_.counter(kAnswerTimeout);
        if (!StoreCloneData(body)) {
            nowError(DriverError::DataOverflow);
            return Verdict::Error;
        }
        return Verdict::Continue;
    }
    if (cmd == clonecmd::kEnd && workMode_ == 2) {
        if (IsFrameBad(body)) {
            nowError(cntMismatch_ ? DriverError::DataCounter : DriverError::IllegalData);
            return Verdict::Error;
        }
        cloneReadComplete_ =
            !readCovered_.empty() && std::all_of(readCovered_.begin(), readCovered_.end(),
                                                 [](bool stored) { return stored; });
        return Verdict::Accepted;
    }
    if (cmd == clonecmd::kWriteResult && workMode_ == 4) {
        // A result byte that is missing counts as a failure, like any value but 00.
        if (byteAt(body, 4) != 0x00) {
            nowError(DriverError::WriteResult);
            return Verdict::Error;
        }
        return Verdict::Accepted;
    }
    if (cmd == clonecmd::kAdjust && workMode_ == 5) {
        if (IsFrameBad(body)) {
            nowError(DriverError::IllegalData);
            return Verdict::Error;
        }
        varLastE8Answer_ = body.substr(3);
        return Verdict::Accepted;
    }
    return Verdict::Ignored;
}

bool clsCmcCln3Drv::IsFrameBad(const std::string& body) {
    const std::size_t len = body.size();
    switch (byteAt(body, 3)) {
        case clonecmd::kIdentityAnswer: {
            frameCounter_ = 0;
            if (len < 7) return true;
            if (!idBytesNumeric(body)) return true;
            if (len >= 60) return true;
            // The count byte must be there: a body of exactly 7 bytes lacks it.
            return byteAt(body, 8) != static_cast<int>(len) - 7;
        }
        case clonecmd::kData: {
            if (len % 2 == 0 || len < 13) return true;
            unsigned sum = 0;
            for (std::size_t pos = 4; pos < len; pos += 2) {
                const int v = hexPairAt(body, pos);
                if (v < 0) return true;
                sum += static_cast<unsigned>(v);
            }
            if (sum % 256 != 0) return true;
            if (hexPairAt(body, 8) != static_cast<int>((len - 11) / 2)) return true;
            frameCounter_ = static_cast<uint8_t>(frameCounter_ + 1);
            return false;
        }
        case clonecmd::kEnd: {
            if (len < 12 || body.substr(3, 9) != signature()) return true;
            const int count = hexPairAt(body, 13);
            if (count < 0) return true;
            if (count != frameCounter_) {
                cntMismatch_ = true;
                return true;
            }
            return false;
        }
        case clonecmd::kAdjust:
            if (len < 8) return true;
            if (!idBytesNumeric(body)) return true;
            return byteAt(body, 8) != e8Key_;
        default:
            return false;
    }
}

bool clsCmcCln3Drv::StoreCloneData(const std::string& body) {
    const int32_t adr = ByteStrHexToInt(body.substr(3, 4));
    const int n = hexPairAt(body, 8);
    std::string data;
    for (int i = 0; i < n; ++i) {
        data.push_back(static_cast<char>(hexPairAt(body, static_cast<std::size_t>(10 + 2 * i))));
    }
    if (myEep_ == nullptr || myEep_->WriteBlock(adr, data) != 0) return false;
    const auto size = static_cast<std::size_t>(myEep_->eeSize());
    if (readCovered_.size() != size) readCovered_.assign(size, false);
    for (int i = 0; i < n; ++i) {
        const auto at = static_cast<std::size_t>(adr + i);
        if (at < size) readCovered_[at] = true;
    }
    lastEeAdr_ = adr + n - 1;
    return true;
}

void clsCmcCln3Drv::task() {
    if (waitState_ == 2 && waitTick_.counter() < 1) {
        if (RetrySend() != 0) nowError(DriverError::NoAnswer);
    }
}

void clsCmcCln3Drv::EndExchange() {
    waitState_ = 0;
    txBuf_.clear();
    running_ = false;
    retryCount_ = 0;
    sendIdle_ = true;
}

void clsCmcCln3Drv::Reset() {
    EndExchange();
    ClearRxBuffer();
    nextAdr_ = 0;
    nowError_ = DriverError::None;
}

void clsCmcCln3Drv::ClearRxBuffer() {
    rxBuf_.clear();
    rxHunting_ = true;
}

}  // namespace calvex
