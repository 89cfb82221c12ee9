// The hex conversions and the display patterns: any text in, no fault, and the conversions
// that should undo each other do.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "base/Common.h"
#include "base/FormatPattern.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace calvex;
    fuzz::FuzzInput in(data, size);
    const std::string bytes = in.bytes(in.pick(64));
    const std::string hex = ByteStrToHexStr(bytes);
    if (hex.size() != 2 * bytes.size() || HexStrToByteStr(hex) != bytes) std::abort();
    if (HexToBytesStrict(hex) != bytes) std::abort();
    (void)HexStrToByteStr(bytes);
    (void)HexToBytesStrict(bytes);
    for (std::size_t at = 0; at <= bytes.size(); ++at)
        (void)HexByteAt(bytes, at);
    try {
        (void)ByteStrHexToInt(bytes);
    } catch (const std::overflow_error&) {
        // A wide number is refused as documented.
    }
    (void)IntToHex2(static_cast<int16_t>(in.byte() << 8 | in.byte()));
    (void)IntToAsciiHexStr(static_cast<int16_t>(in.byte() << 8 | in.byte()));
    (void)ExpandNewLine(bytes);

    double value = 0;
    const std::string raw = in.bytes(sizeof value);
    std::memcpy(&value, raw.data(), raw.size());
    const std::string pattern = in.rest();
    // The program's patterns carry at most a dozen digits; a longer one is still no fault.
    if (std::isfinite(value)) (void)FormatPattern(value, pattern.substr(0, 40));
    return 0;
}
