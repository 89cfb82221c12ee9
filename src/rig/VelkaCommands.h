#pragma once

#include <string>

namespace calvex {

// What a Velka adjustment command sets, for a wire trace: the item's title ("Power(Hi)"), the
// narrow levels, the TXF table's position ("TXF area 3 slant") or the other commands; empty for
// a code the program never sends.
std::string VelkaCommandName(int command);

}  // namespace calvex
