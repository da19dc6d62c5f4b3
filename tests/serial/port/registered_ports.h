#pragma once
// COM ports for the port probe and the dialog: pseudo-terminals declared in a
// registry file of the test's own, COM3 and COM12 free, COM5 held open by
// another user, COM51 free but beyond the dialog's list, COM7 declared with
// no device behind it; every other number has none declared.
#include <gtest/gtest.h>

#include <memory>

#include "platform/com_port_names.h"
#include "platform/open_comm_device.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"

class RegisteredPorts : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComRegistryFile(registry);
    RegisterComPort(registry, 3, com3.DevicePath());
    RegisterComPort(registry, 5, com5.DevicePath());
    RegisterComPort(registry, 7, dir.File("unplugged-tty"));
    RegisterComPort(registry, 12, com12.DevicePath());
    RegisterComPort(registry, 51, com51.DevicePath());
    held = OpenComDevice("COM5");
    ASSERT_NE(held, nullptr);
  }
  void TearDown() override {
    held.reset();
    SetComRegistryFile("");
  }

  TempDir dir;
  std::string registry = dir.File("registry.reg");
  PseudoTerminal com3, com5, com12, com51;
  std::unique_ptr<CommDevice> held;
};
