#pragma once
// A port whose device is a pseudo-terminal, declared as COM5 in a registry
// file of the test's own; the test plays the far end on the other side.
#include <gtest/gtest.h>

#include "platform/com_port_names.h"
#include "serial/dispatch/win32_dispatcher.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"

class PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComRegistryFile(registry);
    RegisterComPort(registry, 5, pty.DevicePath());
    ASSERT_EQ(d.InitPort("\\\\.\\COM5", 115200, 0, 8, 1, 4096, 4096, kOptRaiseDtr | kOptRaiseRts), 0);
  }
  void TearDown() override {
    d.DonePort();
    SetComRegistryFile("");
  }

  TempDir dir;
  std::string registry = dir.File("registry.reg");
  PseudoTerminal pty;
  TDevaWin32Dispatcher d{nullptr};
};
