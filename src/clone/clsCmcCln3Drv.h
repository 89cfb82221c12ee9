#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "clone/CloneCodes.h"
#include "link/ISerialControl.h"
#include "link/ITickSource.h"
#include "link/clsCmcTick.h"
#include "memory/clsCmcEeprom.h"

namespace calvex {

// The clone frame driver: builds frames (FE FE EE EF command payload FD), writes them to the
// port, collects received bytes into frames, checks the answers, resends and times out. It
// never blocks; the serial form hands it received bytes (read) and ticks it (task).
class clsCmcCln3Drv {
  public:
    static constexpr int32_t kAnswerTimeout = 1200;
    static constexpr std::size_t kRxBufMax = 256;
    // The bytes whose hex text closes every clone data transfer.
    static const std::string& signature();

    explicit clsCmcCln3Drv(ITickSource& ticks = systemTickSource());

    // The port the frames go through; set once by the serial form that owns the driver.
    void myObjCom(ISerialControl* port) { port_ = port; }

    int16_t workMode() const { return workMode_; }
    void workMode(int16_t mode);
    bool waitAnswer() const { return waitAnswer_; }
    void waitAnswer(bool on) { waitAnswer_ = on; }
    int16_t retryCount() const { return retryCount_; }
    void retryCount(int16_t n) { retryCount_ = n; }
    int16_t sizDataOfPacket() const { return sizDataOfPacket_; }
    void sizDataOfPacket(int16_t n) { sizDataOfPacket_ = n; }
    void myEep(clsCmcEeprom& eep) { myEep_ = &eep; }
    // Stores the list of "AAAA-BBBB," ranges and starts at the first address.
    void cloneWriteAdrList(const std::string& list);

    bool Running() const { return running_; }
    DriverError nowError() const { return nowError_; }
    // A code other than None is kept in lastError; any write ends the exchange.
    void nowError(DriverError code);
    DriverError lastError() const { return lastError_; }
    void lastError(DriverError code) { lastError_ = code; }
    const std::string& ansInfo() const { return ansInfo_; }
    int32_t lastEeAdr() const { return lastEeAdr_; }
    const std::string& varLastE8Answer() const { return varLastE8Answer_; }
    // True when the closing E5 of the clone read under way carried another block count than
    // the blocks received; every new exchange (Send) clears it.
    bool cntMismatch() const { return cntMismatch_; }
    // True once the clone read started by the last E2 has stored every byte of the image from
    // blocks of this read and its closing E5 was accepted. Only a new clone read clears it, so
    // it survives the resets that follow a read.
    bool cloneReadComplete() const { return cloneReadComplete_; }

    bool SendEnable() const;
    bool waitEcho() const { return workMode_ >= 1 && workMode_ <= 5; }

    // data: command and payload. 0 sent, 1 refused.
    int16_t Send(const std::string& data);
    int16_t RealSend(const std::string& data);
    int16_t RetrySend();
    // Writes the frame buffer followed by count FE bytes straight to the port.
    void SendFE(int16_t count);
    // Takes a chunk of received bytes, in arrival order.
    void read(std::string chunk);
    // Answer time-out and resend; run on every tick.
    void task();
    void Reset();
    void ClearRxBuffer();

  private:
    enum class Verdict { Ignored, Accepted, Continue, Error };

    void StartWait(int16_t state);
    void OnFrameEvent();
    void OnFrameReceived(const std::string& body);
    Verdict CheckAnswer(const std::string& body);
    bool IsFrameBad(const std::string& body);
    std::string BuildCloneWriteFrame();
    bool StoreCloneData(const std::string& body);
    void EndExchange();
    void WriteToPort(const std::string& bytes);

    ISerialControl* port_ = nullptr;
    clsCmcEeprom* myEep_ = nullptr;
    clsCmcTick waitTick_;

    int16_t retryCount_ = 0;
    int16_t retriesLeft_ = 0;
    bool waitAnswer_ = false;
    int16_t workMode_ = 0;
    int16_t sizDataOfPacket_ = 16;
    std::string adrList_;
    int32_t nextAdr_ = 0;
    std::string lastSent_;
    std::string txBuf_;
    std::string rxBuf_;
    bool rxHunting_ = true;
    int16_t waitState_ = 0;
    bool sendIdle_ = true;
    bool running_ = false;
    DriverError nowError_ = DriverError::None;
    DriverError lastError_ = DriverError::None;
    std::string ansInfo_;
    std::string varLastE8Answer_;
    int32_t lastEeAdr_ = 0;
    uint8_t e8Key_ = 0;
    bool cntMismatch_ = false;
    uint8_t frameCounter_ = 0;
    // Image bytes stored by the clone read under way.
    std::vector<bool> readCovered_;
    bool cloneReadComplete_ = false;
};

}  // namespace calvex
