#pragma once

#include <gtest/gtest.h>

#include "console/FakeCloneSequencer.h"
#include "link/FakeTickSource.h"
#include "rig/FakeRigWindow.h"
#include "rig/RigVelkaTestAccess.h"
#include "rig/clsIndOp_RigVelka.h"

namespace calvex::testing {

// The transceiver class with every collaborator faked, freshly created.
class RigVelkaFixture : public ::testing::Test {
  protected:
    using Access = RigVelkaTestAccess;

    FakeCloneSequencer seq;
    clsCmcRadio radio;
    clsConsole console;
    FakeRigWindow window;
    FakeTickSource ticks;
    clsIndOp_RigVelka rig{seq, radio, console, window, ticks};
};

}  // namespace calvex::testing
