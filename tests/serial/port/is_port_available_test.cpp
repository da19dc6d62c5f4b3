#include <gtest/gtest.h>

#include "platform/open_comm_device.h"
#include "serial/port/is_port_available.h"
#include "tests/serial/port/registered_ports.h"

namespace {

class PortProbe : public RegisteredPorts {
 protected:
  void TearDown() override {
    UseDispatcherForAvail = true;
    ShowPortsInUse = true;
    RegisteredPorts::TearDown();
  }
};

TEST_F(PortProbe, AnswersForFreeHeldAndMissingPortsUnderEachSetting) {
  const struct {
    unsigned port;
    bool inUseShown;  // the answer with ShowPortsInUse
    bool inUseHidden;
  } cases[] = {
      {3, true, true},     // free
      {5, true, false},    // held by another open
      {7, false, false},   // declared, device missing
      {9, false, false},   // not declared
      {0, false, false},   // no port
  };
  for (const bool viaDispatcher : {true, false}) {
    UseDispatcherForAvail = viaDispatcher;
    for (const auto& c : cases) {
      for (const bool showInUse : {true, false}) {
        ShowPortsInUse = showInUse;
        EXPECT_EQ(IsPortAvailable(c.port), showInUse ? c.inUseShown : c.inUseHidden)
            << "COM" << c.port << (viaDispatcher ? " via a dispatcher" : " by a bare open")
            << (showInUse ? ", ports in use shown" : "");
      }
    }
    // The probe let go of the free port, and the held one is still held.
    EXPECT_NE(OpenComDevice("COM3"), nullptr);
    EXPECT_EQ(OpenComDevice("COM5"), nullptr);
  }
}

}  // namespace
