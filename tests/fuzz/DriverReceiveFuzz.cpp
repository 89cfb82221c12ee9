// The driver's receive path in every work mode, with resets and ticks mixed in. Two drivers
// take the same bytes, one in the chunks the input chooses and one in a single piece between
// resets and ticks: a frame may be split anywhere, so they must end alike.
#include <cstdio>
#include <cstdlib>

#include "base/Common.h"
#include "clone/clsCmcCln3Drv.h"
#include "fuzz/FuzzInput.h"
#include "link/ISerialPeer.h"
#include "link/ITickSource.h"
#include "link/LoopbackSerialControl.h"

namespace {

using namespace calvex;

class NullPeer : public ISerialPeer {
  public:
    void fromComputer(const std::string&, int32_t) override {}
    std::string toComputer() override { return {}; }
};

class Clock : public ITickSource {
  public:
    int32_t now() override { return ms; }
    int32_t ms = 1000;
};

struct Side {
    Clock clock;
    NullPeer peer;
    LoopbackSerialControl port{peer};
    clsCmcEeprom eep;
    clsCmcCln3Drv drv{clock};

    explicit Side(int32_t eeSize) {
        port.OutBufferSize(1024);
        port.PortOpen(true);
        eep.eeSize(eeSize);
        drv.myObjCom(&port);
        drv.myEep(eep);
    }
    void arm(int16_t mode, bool answer) {
        drv.Reset();
        drv.workMode(mode);
        drv.waitAnswer(answer);
        drv.sizDataOfPacket(16);
        drv.cloneWriteAdrList("0000-003F,");
        drv.retryCount(1);
        drv.Send(HexStrToByteStr("E826010100013046"));
    }
};

// Names the property that failed before the fuzzer records the input.
#define CHECK(cond)                                            \
    do {                                                       \
        if (!(cond)) {                                         \
            std::fprintf(stderr, "check failed: %s\n", #cond); \
            std::abort();                                      \
        }                                                      \
    } while (false)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    calvex::fuzz::FuzzInput in(data, size);
    const int32_t eeSize = in.pick(2) == 0 ? 64 : 1664;
    Side chunked(eeSize), whole(eeSize);
    std::string pending;  // what the whole side has not been given yet
    bool hunting = true;  // between frames, as the driver's receiver is after a reset
    const auto flush = [&] {
        whole.drv.read(pending);
        pending.clear();
    };
    const auto arm = [&](int16_t mode, bool answer) {
        flush();
        chunked.arm(mode, answer);
        whole.arm(mode, answer);
        hunting = true;
    };
    arm(static_cast<int16_t>(in.pick(7)), in.pick(2) == 0);
    while (!in.empty()) {
        switch (in.pick(8)) {
            case 0: {
                flush();
                const int32_t step = static_cast<int32_t>(in.byte()) * 8;
                chunked.clock.ms += step;
                whole.clock.ms += step;
                chunked.drv.task();
                whole.drv.task();
                break;
            }
            case 1:
                arm(static_cast<int16_t>(in.pick(7)), in.pick(2) == 0);
                break;
            case 2:
                flush();
                chunked.drv.ClearRxBuffer();
                whole.drv.ClearRxBuffer();
                hunting = true;
                break;
            default: {
                // An FD outside a frame drops the rest of the chunk it came in, so there the
                // chunking shows by design; such bytes are left out of the stream.
                std::string chunk;
                for (char c : in.bytes(in.pick(64))) {
                    if (c == '\xFD' && hunting) continue;
                    if (c == '\xFE') hunting = false;
                    if (c == '\xFD') hunting = true;
                    chunk.push_back(c);
                }
                chunked.drv.read(chunk);
                pending += chunk;
                break;
            }
        }
        CHECK(chunked.drv.lastEeAdr() < eeSize);
    }
    flush();
    const clsCmcCln3Drv& a = chunked.drv;
    const clsCmcCln3Drv& b = whole.drv;
    CHECK(a.Running() == b.Running());
    CHECK(a.nowError() == b.nowError());
    CHECK(a.lastError() == b.lastError());
    CHECK(a.lastEeAdr() == b.lastEeAdr());
    CHECK(a.ansInfo() == b.ansInfo());
    CHECK(a.varLastE8Answer() == b.varLastE8Answer());
    CHECK(a.cloneReadComplete() == b.cloneReadComplete());
    CHECK(chunked.eep.ReadBlock(0, eeSize) == whole.eep.ReadBlock(0, eeSize));
    return 0;
}
