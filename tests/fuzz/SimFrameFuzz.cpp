// The simulated transceiver's frame parser on any line traffic: no fault, and its memory keeps
// its size whatever it hears.
#include <cstdlib>

#include "fuzz/FuzzInput.h"
#include "model/Transceiver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    calvex::fuzz::FuzzInput in(data, size);
    velka::Transceiver radio;
    int64_t now = 0;
    static const int32_t rates[] = {9600, 38400, 4800};
    while (!in.empty()) {
        const int32_t rate = rates[in.pick(3)];
        radio.fromComputer(in.bytes(in.pick(80)), rate, now);
        now += in.byte();
        (void)radio.toComputer(now);
        if (in.pick(16) == 0) radio.lineCut(now);
    }
    if (radio.image().size() != 1664) std::abort();
    return 0;
}
