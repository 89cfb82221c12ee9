#include <gtest/gtest.h>

#include <random>

#include "base/Common.h"
#include "clone/ScriptedTransceiver.h"
#include "clone/clsCmcCln3Drv.h"
#include "link/FakeTickSource.h"
#include "link/LoopbackSerialControl.h"

namespace calvex {
namespace {

using testing::FakeTickSource;
using testing::ScriptedTransceiver;

class NullPeer : public ISerialPeer {
  public:
    void fromComputer(const std::string&, int32_t) override {}
    std::string toComputer() override { return {}; }
};

// Line noise that often looks like frames: framing bytes, addresses, commands, hex text and
// well-formed data blocks at any address and length.
class Noise {
  public:
    explicit Noise(uint32_t seed) : rng_(seed) {}

    std::string next() {
        std::string out;
        const int pieces = pick(1, 8);
        for (int i = 0; i < pieces; ++i) {
            switch (pick(0, 5)) {
                case 0:
                    out.push_back(static_cast<char>(pick(0, 255)));
                    break;
                case 1:
                    out += std::string("\xFE\xFE\xEF\xEE", 4);
                    out.push_back(static_cast<char>(0xE0 + pick(0, 8)));
                    break;
                case 2:
                    for (int n = pick(1, 40); n > 0; --n)
                        out.push_back("0123456789ABCDEFaf"[pick(0, 17)]);
                    break;
                case 3: {
                    std::string data;
                    for (int n = pick(0, 40); n > 0; --n)
                        data.push_back(static_cast<char>(pick(0, 255)));
                    out += ScriptedTransceiver::frame(ScriptedTransceiver::dataBlock(
                        pick(0, 1) ? pick(0, 80) : pick(0, 0xFFFF), data));
                    break;
                }
                case 4:
                    out.push_back('\xFD');
                    break;
                default:
                    out += ScriptedTransceiver::frame(
                        ScriptedTransceiver{}.identity(static_cast<std::size_t>(pick(3, 70))));
                    break;
            }
        }
        return out;
    }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  private:
    std::mt19937 rng_;
};

TEST(DriverFuzz, ArbitraryBytesStayInsideTheImage) {
    for (int16_t mode = 0; mode <= 5; ++mode) {
        FakeTickSource clock;
        NullPeer peer;
        LoopbackSerialControl port(peer);
        port.OutBufferSize(1024);
        port.PortOpen(true);
        clsCmcEeprom eep;
        eep.eeSize(64);  // small, so that many blocks fall partly outside
        clsCmcCln3Drv drv(clock);
        drv.myObjCom(&port);
        drv.myEep(eep);
        Noise noise(20240601u + static_cast<uint32_t>(mode));

        auto arm = [&] {
            drv.Reset();
            drv.workMode(mode);
            drv.waitAnswer(true);  // every mode listens, so every mode parses
            drv.sizDataOfPacket(16);
            drv.cloneWriteAdrList("0000-003F,");
            drv.retryCount(1);
            drv.Send(HexStrToByteStr("E0260101000B"));
        };
        arm();
        for (int round = 0; round < 3000; ++round) {
            std::string bytes = noise.next();
            while (!bytes.empty()) {
                const auto cut =
                    static_cast<std::size_t>(noise.pick(0, static_cast<int>(bytes.size())));
                drv.read(bytes.substr(0, cut));
                bytes.erase(0, cut);
            }
            if (noise.pick(0, 9) == 0) {
                clock.advance(noise.pick(0, 1500));
                drv.task();
            }
            ASSERT_LT(drv.lastEeAdr(), eep.eeSize()) << "mode " << mode;
            if (!drv.Running()) arm();
        }
        // The spare byte behind the last address never changes.
        EXPECT_EQ(eep.ReadBlock(64, 1), std::string(1, '\0')) << "mode " << mode;
    }
}

}  // namespace
}  // namespace calvex
