#pragma once

namespace calvex {

// What the serial form tells the layer that speaks over the port. The clone line implements it;
// the form itself knows nothing of frames.
class ILineEvents {
  public:
    virtual ~ILineEvents() = default;
    // The port was opened or closed: any exchange under way is abandoned.
    virtual void LineReset() = 0;
    // A line error (break, framing, parity...): the frame being received is dropped.
    virtual void LineNoise() = 0;
    // The receive event: bytes are waiting and the tick should run now.
    virtual void BytesWaiting() = 0;
};

}  // namespace calvex
