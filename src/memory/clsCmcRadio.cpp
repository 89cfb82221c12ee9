#include "memory/clsCmcRadio.h"

#include <cstdio>

namespace calvex {

namespace {

std::string fourHexDigits(int32_t adr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(adr) & 0xFFFFu);
    return buf;
}

}  // namespace

void clsCmcRadio::cloneWriteAdrList_Add(int32_t adr0, int32_t adr1) {
    adrList_ += fourHexDigits(adr0) + "-" + fourHexDigits(adr1) + ",";
}

}  // namespace calvex
