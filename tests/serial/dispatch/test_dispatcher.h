#pragma once
// A dispatcher without threads: the real device operations over a fake device
// (or, without one, the device a port name stands for). Start, stop, close and
// flush do what they do once the threads are gone; Receive puts bytes into
// the input ring as the dispatch thread does.
#include <cstring>
#include <memory>
#include <string_view>

#include "serial/dispatch/win32_dispatcher.h"
#include "tests/support/fake_comm_device.h"

class TTestDispatcher final : public TDevaWin32Dispatcher {
 public:
  // `fake` (when given) is what the next open gets; it lives until the port closes.
  explicit TTestDispatcher(std::unique_ptr<FakeCommDevice> fake = nullptr)
      : TDevaWin32Dispatcher(nullptr), fake_(fake.get()), pending_(std::move(fake)) {}
  ~TTestDispatcher() override { ReleaseBeforeDestroy(); }

  FakeCommDevice& Fake() { return *fake_; }

  // Opens at 115200 8N1 with DTR and RTS raised, as the server does.
  std::int32_t Open(std::uint32_t inSize = 4096, std::uint32_t outSize = 4096,
                    const char* name = "\\\\.\\COM1") {
    return InitPort(name, 115200, 0, 8, 1, inSize, outSize, kOptRaiseDtr | kOptRaiseRts);
  }

  void Receive(std::string_view bytes) {
    TCriticalSectionGuard lock(InputLock);
    for (char c : bytes) {
      InRing[InHead] = static_cast<std::uint8_t>(c);
      InHead = (InHead + 1) % kInRingSize;
    }
    if (!bytes.empty()) InRingFull = InHead == InTail;
  }

  void StartDispatcher() override { DispatcherActive = true; }
  void StopDispatcher() override {
    DispatcherActive = false;
    CloseCom();
  }
  std::int32_t CloseCom() override { return ReleaseDevice() ? 0 : -1; }
  std::int32_t FlushCom(std::int32_t Queue) override {
    if (Queue == 0) {
      TCriticalSectionGuard lock(OutputLock);
      OutHead = OutTail = 0;
      OutRingFull = false;
      if (WriteDoneEvent) WriteDoneEvent->Set();
      if (Device) Device->Purge(kPurgeTxAbort | kPurgeTxClear);
    } else if (Queue == 1) {
      if (Device) Device->Purge(kPurgeRxAbort | kPurgeRxClear);
      InputQueue.Clear();
    }
    return 0;
  }

 protected:
  std::unique_ptr<CommDevice> OpenDevice(const char* ComName) override {
    if (pending_) return std::move(pending_);
    return fake_ ? nullptr : TDevaWin32Dispatcher::OpenDevice(ComName);
  }

 private:
  FakeCommDevice* fake_;
  std::unique_ptr<FakeCommDevice> pending_;
};
