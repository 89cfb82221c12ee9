// The constants file on any content: no fault, and whatever it accepts the oscillator table
// can carry with any settings at any temperature.
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>

#include "clone/ICloneSequencer.h"
#include "console/FakeCloneSequencer.h"
#include "fuzz/FuzzInput.h"
#include "link/FakeTickSource.h"
#include "link/ITickSource.h"
#include "memory/clsCmcRadio.h"
#include "rig/FakeRigWindow.h"
#include "rig/IRigWindow.h"
#include "rig/RigVelkaTestAccess.h"
#include "rig/TxfTable.h"
#include "rig/clsIndOp_RigVelka.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace calvex;
    static const bool inDir = [] {
        char tmpl[] = "/tmp/calvex-fuzz-const-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        return made != nullptr && ::chdir(made) == 0;
    }();
    if (!inDir) std::abort();
    {
        std::ofstream f(clsIndOp_RigVelka::kConstFileName, std::ios::binary | std::ios::trunc);
        f << "Calvex ADJ Rev.1.0\n";
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    static testing::FakeTickSource clock;
    static testing::FakeCloneSequencer seq;
    static clsCmcRadio radio;
    static clsConsole console;
    static testing::FakeRigWindow window;
    static clsIndOp_RigVelka rig(seq, radio, console, window, clock);
    if (!rig.RigVelkaProp_ReadParametersFromExtFile()) return 0;

    // Exactly what the program took from the file.
    const std::array<float, 22>& coef = RigVelkaTestAccess::txfCoefs(rig);
    for (const int16_t first : {int16_t{0}, int16_t{255}}) {
        for (const int16_t second : {int16_t{0}, int16_t{255}}) {
            for (int16_t raw = 0; raw <= 255; raw = static_cast<int16_t>(raw + 15)) {
                const auto c = ComputeTxfTable(first, second, coef, raw);
                for (int16_t k = 0; k < 40; ++k)
                    (void)TxfPositionValue(c, k);
            }
        }
    }
    return 0;
}
