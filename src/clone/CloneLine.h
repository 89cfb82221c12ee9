#pragma once

#include "clone/IComHost.h"
#include "clone/clsCmcCln3Drv.h"
#include "link/ILineEvents.h"
#include "link/ITickSource.h"
#include "link/frmCom.h"

namespace calvex {

// The port and the clone frame driver that speaks over it, and the order of one heartbeat.
// The serial form is the port alone; this joins it to the driver (frmCom.cln3D of old), and the
// core drives timSolid_Timer from its 50 ms timer and from the port's receive event.
class CloneLine final : public ILineEvents {
  public:
    CloneLine(frmCom& com, ITickSource& ticks, IComHost& host);
    CloneLine(const CloneLine&) = delete;
    CloneLine& operator=(const CloneLine&) = delete;
    ~CloneLine() override;

    frmCom& com() { return com_; }
    const frmCom& com() const { return com_; }
    clsCmcCln3Drv& cln3D() { return cln3D_; }
    const clsCmcCln3Drv& cln3D() const { return cln3D_; }

    // A fault of the port or of the exchange under way: what the tick reports and ends.
    bool totalError() const;

    // One tick, in this order: bytes waiting go to the driver, the driver's time-outs, the
    // host's task (sequencer, transceiver task), the report of a fault, and the port closed
    // when the fault is still there.
    void timSolid_Timer();

    void LineReset() override { cln3D_.Reset(); }
    void LineNoise() override { cln3D_.ClearRxBuffer(); }
    void BytesWaiting() override { timSolid_Timer(); }

  private:
    frmCom& com_;
    IComHost& host_;
    clsCmcCln3Drv cln3D_;
};

}  // namespace calvex
