#include "clone/CloneLine.h"

namespace calvex {

CloneLine::CloneLine(frmCom& com, ITickSource& ticks, IComHost& host)
    : com_(com), host_(host), cln3D_(ticks) {
    cln3D_.myObjCom(&com_.MsCom());
    com_.lineEvents(this);
}

CloneLine::~CloneLine() {
    com_.lineEvents(nullptr);
}

bool CloneLine::totalError() const {
    return cln3D_.nowError() != DriverError::None || com_.portFault();
}

void CloneLine::timSolid_Timer() {
    if (std::string bytes = com_.TakeInput(); !bytes.empty()) cln3D_.read(std::move(bytes));
    cln3D_.task();
    host_.task();
    if (totalError()) host_.MsgBoxCloneErr();
    if (totalError() && com_.comOpen()) com_.comOpen(false);
}

}  // namespace calvex
