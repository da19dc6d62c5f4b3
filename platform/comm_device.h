#pragma once
// One open comm device, the only way the serial layer reaches a serial line.
// Calls never block except Wait, never report "try again" and retry
// interrupted system calls themselves. A failing call leaves the reason in the
// thread's last error (platform/last_error.h). Calls may come from several
// threads at once.
#include <cstdint>
#include <span>

#include "platform/comm_types.h"

class TEvent;

// What ended a Wait, as bits; 0 is a time-out.
inline constexpr std::uint32_t kCommData = 0x01;       // bytes to read, or a failure the next Read reports
inline constexpr std::uint32_t kCommWritable = 0x02;   // room to write
inline constexpr std::uint32_t kCommLineEvent = 0x04;  // TakeCommEvents has something
inline constexpr std::uint32_t kCommWake = 0x08;       // Wake was called and not cleared
inline constexpr std::uint32_t kCommOther = 0x10;      // the extra event given to Wait is set
// The far end hung up or the device failed, whatever is left to read. Asked
// for alone it watches for nothing else, so a reader that may not read yet
// still sees the line go. Its reason is left in the last error.
inline constexpr std::uint32_t kCommHangUp = 0x20;
inline constexpr std::uint32_t kCommFailed = 0x80000000;

class CommDevice {
 public:
  virtual ~CommDevice() = default;

  // A number that names the open device (its descriptor) while it is open.
  virtual int Handle() const = 0;

  // Sizes of the driver's queues; a hint the driver may ignore.
  virtual bool SetupQueues(std::uint32_t inSize, std::uint32_t outSize) = 0;
  // The settings last set (or read at open): what the driver cannot take, such
  // as parity on a pseudo-terminal, still reads back as set.
  virtual bool GetState(TCommDcb& dcb) = 0;
  virtual bool SetState(const TCommDcb& dcb) = 0;
  virtual bool Escape(std::uint32_t function) = 0;
  // Modem lines (kMs... bits); a device without lines reports 0 and succeeds.
  virtual bool ModemStatus(std::uint32_t& status) = 0;
  // Takes and clears the line errors (kCe... bits) gathered since the last
  // call, and fills in the queue counts and hold flags; 0 when the driver has
  // no error counts.
  virtual std::uint32_t TakeErrors(TCommStat& stat) = 0;
  // Takes and clears the comm events (kEv... bits of modem lines, breaks and
  // errors) seen since the last call.
  virtual std::uint32_t TakeCommEvents() = 0;
  virtual bool Purge(std::uint32_t flags) = 0;

  // Bytes read now (0 when none have come); -1 on failure, a hang-up of the far end included.
  virtual std::int32_t Read(std::span<std::uint8_t> buffer) = 0;
  // Bytes taken now (0 when the driver has no room); -1 on failure.
  virtual std::int32_t Write(std::span<const std::uint8_t> bytes) = 0;

  // Waits until one of `what` (kComm... bits) holds, or Wake, or `also` is set,
  // or the time-out passes. Does not take the setting of `also`.
  virtual std::uint32_t Wait(std::uint32_t what, std::uint32_t timeoutMs,
                             const TEvent* also = nullptr) = 0;
  // Ends every Wait at once, and every later one until ClearWake.
  virtual void Wake() = 0;
  virtual void ClearWake() = 0;
};
