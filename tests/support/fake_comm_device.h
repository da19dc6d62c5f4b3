#pragma once
// A comm device for tests: the test plays the far end and the driver, with
// modem lines, line errors, a writer that stalls and reads that fail. Its
// waits block on eventfds like the real device's.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/comm_device.h"
#include "platform/event.h"

class FakeCommDevice final : public CommDevice {
 public:
  FakeCommDevice();

  // The far end and the driver.
  void Send(std::string_view bytes);
  void HangUp();                         // reads fail from now on, as after a hang-up
  void FailReads(int sysError);          // reads fail with this error; 0 ends that
  void SetModemLines(std::uint32_t lines);  // kMs... bits; each change is a comm event
  void AddLineErrors(std::uint32_t errors);  // kCe... bits, taken once
  void SetHoldFlags(std::uint32_t flags);    // TCommStat::Flags from now on
  void StallWrites(bool stalled);            // writes take nothing while stalled
  void FailSetState(int sysError);           // SetState fails with this error; 0 ends that

  // What the dispatcher did.
  std::string Written() const;
  std::size_t Unread() const;  // bytes sent that the dispatcher has not read yet
  std::vector<std::uint32_t> Escapes() const;
  int SetStateCalls() const;
  std::uint32_t Purges() const;  // OR of the purge flags asked for
  bool DtrUp() const;
  bool RtsUp() const;

  int Handle() const override;
  bool SetupQueues(std::uint32_t inSize, std::uint32_t outSize) override;
  bool GetState(TCommDcb& dcb) override;
  bool SetState(const TCommDcb& dcb) override;
  bool Escape(std::uint32_t function) override;
  bool ModemStatus(std::uint32_t& status) override;
  std::uint32_t TakeErrors(TCommStat& stat) override;
  std::uint32_t TakeCommEvents() override;
  bool Purge(std::uint32_t flags) override;
  std::int32_t Read(std::span<std::uint8_t> buffer) override;
  std::int32_t Write(std::span<const std::uint8_t> bytes) override;
  std::uint32_t Wait(std::uint32_t what, std::uint32_t timeoutMs, const TEvent* also) override;
  void Wake() override { wake_.Set(); }
  void ClearWake() override { wake_.Reset(); }

 private:
  void UpdateReadable();  // caller holds mutex_

  // Manual-reset, each set while its condition holds.
  TEvent readable_{true};  // bytes to read, or a failure to report
  TEvent hungUpEvent_{true};
  TEvent writable_{true, true};
  TEvent lineEvent_{true};
  TEvent wake_{true};

  mutable std::mutex mutex_;
  std::string input_;
  std::string written_;
  bool hungUp_ = false;
  int readError_ = 0;
  int setStateError_ = 0;
  bool stalled_ = false;
  std::uint32_t lines_ = 0;
  std::uint32_t errors_ = 0;
  std::uint32_t holdFlags_ = 0;
  std::uint32_t events_ = 0;
  TCommDcb state_;
  int setStateCalls_ = 0;
  std::vector<std::uint32_t> escapes_;
  std::uint32_t purges_ = 0;
  bool dtr_ = false;
  bool rts_ = false;
};
