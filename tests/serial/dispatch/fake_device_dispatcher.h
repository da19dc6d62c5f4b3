#pragma once
// A dispatcher with its threads running over a fake device: the test plays
// the far end and the driver. The fake goes with the port at its close.
#include <functional>
#include <memory>

#include "serial/dispatch/win32_dispatcher.h"
#include "tests/support/fake_comm_device.h"

class TFakeDeviceDispatcher final : public TDevaWin32Dispatcher {
 public:
  TFakeDeviceDispatcher()
      : TDevaWin32Dispatcher(nullptr), pending_(std::make_unique<FakeCommDevice>()), fake_(pending_.get()) {}
  ~TFakeDeviceDispatcher() override { ReleaseBeforeDestroy(); }

  FakeCommDevice& Fake() { return *fake_; }  // only while the port is open

  // Runs first in each release of the rings, on the thread that releases them.
  std::function<void()> BeforeRelease;

  // Opens at 115200 8N1 with DTR and RTS raised, as the server does.
  std::int32_t Open(std::uint32_t inSize = 4096, std::uint32_t outSize = 4096) {
    return InitPort("\\\\.\\COM1", 115200, 0, 8, 1, inSize, outSize, kOptRaiseDtr | kOptRaiseRts);
  }

 protected:
  std::unique_ptr<CommDevice> OpenDevice(const char*) override { return std::move(pending_); }
  void DonePortPrim() override {
    if (BeforeRelease) BeforeRelease();
    TDevaWin32Dispatcher::DonePortPrim();
  }

 private:
  std::unique_ptr<FakeCommDevice> pending_;
  FakeCommDevice* fake_;
};
