#pragma once
// The records and bit meanings through which the serial layer talks to a comm
// device: the device-control block it keeps its line settings in, the status
// record with the queue counts, and the numbers of line errors, comm events,
// modem lines, escape functions and purges. They carry the meanings the serial
// layer was designed around; each comm device translates them to its driver.
#include <cstdint>

// DTR and RTS control modes of the device-control block.
enum : std::uint8_t {
  kDtrControlDisable = 0,
  kDtrControlEnable = 1,
  kDtrControlHandshake = 2,
};
enum : std::uint8_t {
  kRtsControlDisable = 0,
  kRtsControlEnable = 1,
  kRtsControlHandshake = 2,
  kRtsControlToggle = 3,  // raised only while sending (RS485)
};

struct TCommDcbFlags {
  bool fBinary = true;
  bool fParity = false;       // check the parity of received bytes
  bool fOutxCtsFlow = false;  // send only while CTS is up
  bool fOutxDsrFlow = false;  // send only while DSR is up
  std::uint8_t fDtrControl = kDtrControlEnable;
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = false;
  bool fOutX = false;  // XON/XOFF on sending
  bool fInX = false;   // XON/XOFF on receiving
  bool fErrorChar = false;
  bool fNull = false;
  std::uint8_t fRtsControl = kRtsControlEnable;
  bool fAbortOnError = false;

  bool operator==(const TCommDcbFlags&) const = default;
};

// Parity: 0 none, 1 odd, 2 even, 3 mark, 4 space.
// StopBits: 0 one, 1 one and a half, 2 two.
struct TCommDcb {
  std::uint32_t BaudRate = 9600;
  TCommDcbFlags Flags;
  std::uint16_t XonLim = 0;   // send XON when the input holds no more than this
  std::uint16_t XoffLim = 0;  // send XOFF when the input has no more free room than this
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = 0;
  std::uint8_t StopBits = 0;
  char XonChar = 17;
  char XoffChar = 19;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;

  bool operator==(const TCommDcb&) const = default;
};

// Why the device holds output back (TCommStat::Flags).
inline constexpr std::uint32_t kCtsHold = 0x01;
inline constexpr std::uint32_t kDsrHold = 0x02;
inline constexpr std::uint32_t kRlsdHold = 0x04;
inline constexpr std::uint32_t kXoffHold = 0x08;  // an XOFF was received
inline constexpr std::uint32_t kXoffSent = 0x10;  // we sent XOFF

struct TCommStat {
  std::uint32_t Flags = 0;
  std::uint32_t cbInQue = 0;   // bytes received and not yet read
  std::uint32_t cbOutQue = 0;  // bytes queued and not yet sent
};

// Line errors, as taken (and cleared) from the device.
inline constexpr std::uint32_t kCeRxOver = 0x01;    // the input queue overflowed
inline constexpr std::uint32_t kCeOverrun = 0x02;   // the hardware lost a byte
inline constexpr std::uint32_t kCeRxParity = 0x04;
inline constexpr std::uint32_t kCeFrame = 0x08;
inline constexpr std::uint32_t kCeBreak = 0x10;
inline constexpr std::uint32_t kCeLineErrors = 0x1F;

// Comm events.
inline constexpr std::uint32_t kEvRxChar = 0x0001;
inline constexpr std::uint32_t kEvCts = 0x0008;
inline constexpr std::uint32_t kEvDsr = 0x0010;
inline constexpr std::uint32_t kEvRlsd = 0x0020;
inline constexpr std::uint32_t kEvBreak = 0x0040;
inline constexpr std::uint32_t kEvErr = 0x0080;
inline constexpr std::uint32_t kEvRing = 0x0100;
inline constexpr std::uint32_t kEvRingTrailingEdge = 0x2000;

// Modem lines, as the device reports them.
inline constexpr std::uint32_t kMsCtsOn = 0x10;
inline constexpr std::uint32_t kMsDsrOn = 0x20;
inline constexpr std::uint32_t kMsRingOn = 0x40;
inline constexpr std::uint32_t kMsRlsdOn = 0x80;  // carrier detect

// The comm events of a change of the modem lines from `before` to `after`; a
// ring counts as it ends.
constexpr std::uint32_t LineChangeEvents(std::uint32_t before, std::uint32_t after) {
  const std::uint32_t changed = before ^ after;
  return ((changed & kMsCtsOn) ? kEvCts : 0) | ((changed & kMsDsrOn) ? kEvDsr : 0) |
         ((changed & kMsRlsdOn) ? kEvRlsd : 0) | ((changed & kMsRingOn) && !(after & kMsRingOn) ? kEvRing : 0);
}

// Escape functions.
inline constexpr std::uint32_t kEscSetXoff = 1;  // act as if XOFF was received
inline constexpr std::uint32_t kEscSetXon = 2;
inline constexpr std::uint32_t kEscSetRts = 3;
inline constexpr std::uint32_t kEscClrRts = 4;
inline constexpr std::uint32_t kEscSetDtr = 5;
inline constexpr std::uint32_t kEscClrDtr = 6;
inline constexpr std::uint32_t kEscResetDev = 7;
inline constexpr std::uint32_t kEscSetBreak = 8;
inline constexpr std::uint32_t kEscClrBreak = 9;
inline constexpr std::uint32_t kEscGetBaseAddress = 10;  // UART I/O address: no such thing here

// Purge flags.
inline constexpr std::uint32_t kPurgeTxAbort = 0x1;
inline constexpr std::uint32_t kPurgeRxAbort = 0x2;
inline constexpr std::uint32_t kPurgeTxClear = 0x4;
inline constexpr std::uint32_t kPurgeRxClear = 0x8;
