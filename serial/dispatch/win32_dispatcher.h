#pragma once
// The dispatcher of a serial port opened through the comm-device layer: the
// device operations over one CommDevice, and the read, write and status
// threads that run beside the dispatch thread. What a desktop comm driver does
// with overlapped I/O and events is done here with the device's waits.
#include <atomic>
#include <memory>
#include <shared_mutex>

#include "platform/comm_device.h"
#include "serial/dispatch/base_dispatcher.h"

class TDevaWin32Dispatcher : public TDevaBaseDispatcher {
 public:
  explicit TDevaWin32Dispatcher(TComponent* Owner);
  ~TDevaWin32Dispatcher() override;

  // Auto-reset: wakes the read thread early (at close).
  TEvent SerialEvent;
  // Auto-reset: the dispatch thread took from a full input queue.
  TEvent QueueRoom;
  std::atomic<bool> ReadPaused{false};  // the read thread waits for QueueRoom

  std::int32_t EscapeComFunction(std::int32_t Func) override;
  std::int32_t FlushCom(std::int32_t Queue) override;
  std::int32_t GetComError(TCommStat& Stat) override;
  std::int32_t GetComEventMask(std::int32_t) override { return 0; }
  std::int32_t GetComState(TCommDcb& DCB) override;
  std::int32_t ReadCom(std::uint8_t* Buf, std::int32_t Size) override;
  std::int32_t SetComState(TCommDcb& DCB) override;
  std::int32_t WriteCom(const std::uint8_t* Buf, std::int32_t Size) override;
  bool WaitComEvent(std::uint32_t& EvtMask) override;
  bool SetupCom(std::int32_t InSize, std::int32_t OutSize) override;
  // Starts the read, dispatch, write and status threads, in that order.
  void StartDispatcher() override;
  void StopDispatcher() override;
  std::int32_t OutBufUsed() override;
  std::int32_t InQueueUsed() override;
  std::int32_t OpenCom(const char* ComName, std::uint32_t InQueue, std::uint32_t OutQueue) override;
  // Ends the threads (not the calling one) and closes the device.
  std::int32_t CloseCom() override;
  // Returns once a byte can be read, or after a tick.
  std::int32_t ProcessCommunications() override;
  std::int32_t GetComModemStatus(std::uint32_t& Status) override;

  // The most the input queue holds before the read thread stops reading.
  std::uint32_t InputQueueLimit() const;
  // Tells every thread to end and wakes their waits.
  void StopThreads();

 protected:
  // The device a port name stands for; tests put a fake one here.
  virtual std::unique_ptr<CommDevice> OpenDevice(const char* ComName);
  // Closes the device, which no device thread may still use: refused (false)
  // while one runs.
  bool ReleaseDevice();

  // The device threads use it without the lock (it outlives them); every
  // other use holds DeviceLock, which ReleaseDevice takes alone.
  std::unique_ptr<CommDevice> Device;
  std::shared_mutex DeviceLock;  // a leaf lock

 private:
  friend class TDevaWin32Thread;
};
