#pragma once
// Port components whose opens get a dispatcher without threads over a fake
// device (TTestDispatcher): the test puts received bytes into its input ring
// and delivers its notifications on the test's own thread.
#include <gtest/gtest.h>

#include <memory>

#include "serial/base/deva_exceptions.h"
#include "serial/port/com_port.h"
#include "tests/serial/dispatch/test_dispatcher.h"

// Each open of `port` gets a new fake dispatcher, which `latest` then names.
inline void OpenOnFakes(TDevaCustomComPort& port, TTestDispatcher*& latest) {
  port.ActivationProcedure = [&latest](TDevaCustomComPort& p) {
    auto made = std::make_unique<TTestDispatcher>(std::make_unique<FakeCommDevice>());
    made->PortOwner = &p;
    latest = made.get();
    return std::unique_ptr<TDevaBaseDispatcher>(std::move(made));
  };
}

// COM1 on fakes; `d` is its dispatcher while the port holds one.
struct PortOnFakes {
  PortOnFakes() {
    port.SetComNumber(1);
    OpenOnFakes(port, d);
  }
  void Open() { ASSERT_NO_THROW(port.SetOpen(true)); }

  TTestDispatcher* d = nullptr;
  TDevaComPort port{nullptr};
};

class FakePort : public ::testing::Test, protected PortOnFakes {};

// The code an exception of the serial layer stands for; 0 when none was raised.
template <typename Call>
std::int32_t CodeOf(Call call) {
  try {
    call();
  } catch (const std::exception& e) {
    return XlatException(e);
  }
  return 0;
}
