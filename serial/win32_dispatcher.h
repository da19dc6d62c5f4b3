#pragma once
// The dispatcher of a serial port opened through the comm-device layer: the
// device operations over one CommDevice. The read, write and status threads,
// with StartDispatcher, StopDispatcher, CloseCom and FlushCom, come with the
// dispatcher's threads.
#include <memory>

#include "platform/comm_device.h"
#include "serial/base_dispatcher.h"

class TDevaWin32Dispatcher : public TDevaBaseDispatcher {
 public:
  explicit TDevaWin32Dispatcher(TComponent* Owner);
  ~TDevaWin32Dispatcher() override;

  // Auto-reset: bytes have come for the read thread.
  TEvent SerialEvent;

  std::int32_t EscapeComFunction(std::int32_t Func) override;
  std::int32_t GetComError(TCommStat& Stat) override;
  std::int32_t GetComEventMask(std::int32_t) override { return 0; }
  std::int32_t GetComState(TCommDcb& DCB) override;
  std::int32_t ReadCom(std::uint8_t* Buf, std::int32_t Size) override;
  std::int32_t SetComState(TCommDcb& DCB) override;
  std::int32_t WriteCom(const std::uint8_t* Buf, std::int32_t Size) override;
  bool WaitComEvent(std::uint32_t& EvtMask) override;
  bool SetupCom(std::int32_t InSize, std::int32_t OutSize) override;
  std::int32_t OutBufUsed() override;
  std::int32_t InQueueUsed() override;
  std::int32_t OpenCom(const char* ComName, std::uint32_t InQueue, std::uint32_t OutQueue) override;
  std::int32_t ProcessCommunications() override;
  std::int32_t GetComModemStatus(std::uint32_t& Status) override;

 protected:
  // The device a port name stands for; tests put a fake one here.
  virtual std::unique_ptr<CommDevice> OpenDevice(const char* ComName);
  // Closes the device, which no thread of this dispatcher may still use:
  // refused (false) while one runs.
  bool ReleaseDevice();

  std::unique_ptr<CommDevice> Device;
};
