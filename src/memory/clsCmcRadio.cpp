#include "memory/clsCmcRadio.h"

#include "base/Common.h"

namespace calvex {

void clsCmcRadio::cloneWriteAdrList_Add(int32_t adr0, int32_t adr1) {
    adrList_ += UIntToHex(static_cast<uint32_t>(adr0), 4) + "-" +
                UIntToHex(static_cast<uint32_t>(adr1), 4) + ",";
}

}  // namespace calvex
