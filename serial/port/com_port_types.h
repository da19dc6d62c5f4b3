#pragma once
// The port component's enumerations, option sets, events and user records.
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "platform/message_window.h"

class TDevaCustomComPort;

enum TPortState : std::uint8_t { psClosed, psShuttingDown, psOpen };
enum TDeviceLayer : std::uint8_t { dlWin32, dlWinsock };
// What ended a wait for input: the text awaited, the time, a close or hang-up of
// the port, the program's end.
enum TWaitEnd : std::uint8_t { weFound, weTimedOut, wePortClosed, weTerminated };
enum TParity : std::uint8_t { pNone, pOdd, pEven, pMark, pSpace };
enum THWFlowOptions : std::uint8_t { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };
enum TSWFlowOptions : std::uint8_t { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState : std::uint8_t {
  tlOff,
  tlOn,
  tlDump,
  tlAppend,
  tlClear,
  tlPause,
  tlAppendAndContinue,
};
enum TTapiMode : std::uint8_t { tmNone, tmAuto, tmOn, tmOff };
enum TDevaCallbackType : std::uint8_t { ctOpen, ctClosing, ctClosed };

// A set of one byte: bit n stands for the value n.
template <typename E>
class TByteSet {
 public:
  constexpr TByteSet() = default;
  constexpr TByteSet(std::initializer_list<E> values) {
    for (E v : values) bits_ = static_cast<std::uint8_t>(bits_ | Bit(v));
  }
  static constexpr TByteSet FromBits(std::uint8_t bits) {
    TByteSet set;
    set.bits_ = bits;
    return set;
  }
  constexpr std::uint8_t Bits() const { return bits_; }
  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr TByteSet Without(E v) const { return FromBits(static_cast<std::uint8_t>(bits_ & ~Bit(v))); }
  constexpr bool operator==(const TByteSet&) const = default;

 private:
  static constexpr std::uint8_t Bit(E v) { return static_cast<std::uint8_t>(1u << v); }
  std::uint8_t bits_ = 0;
};

using THWFlowOptionSet = TByteSet<THWFlowOptions>;
using TDeviceLayers = TByteSet<TDeviceLayer>;

// The component's events; CP is the port that sends them.
using TNotifyEvent = std::function<void(TDevaCustomComPort* CP)>;
using TTriggerEvent =
    std::function<void(TDevaCustomComPort* CP, std::uint16_t Msg, std::uint16_t TriggerHandle, std::uint16_t Data)>;
using TTriggerAvailEvent = std::function<void(TDevaCustomComPort* CP, std::uint16_t Count)>;
using TTriggerDataEvent = std::function<void(TDevaCustomComPort* CP, std::uint16_t TriggerHandle)>;
using TTriggerStatusEvent = TTriggerDataEvent;
using TTriggerTimerEvent = TTriggerDataEvent;
using TTriggerLineErrorEvent = std::function<void(TDevaCustomComPort* CP, std::uint16_t Error, bool LineBreak)>;
using TWaitCharEvent = std::function<void(TDevaCustomComPort* CP, char C)>;

// A registered user's callbacks: a method bound to its object. Deregistering
// compares Code alone, so every object's registration of that method goes.
struct TPortCallback {
  void (*Code)(void* Data, TDevaCustomComPort* CP, bool Opening) = nullptr;
  void* Data = nullptr;
};
struct TPortCallbackEx {
  void (*Code)(void* Data, TDevaCustomComPort* CP, TDevaCallbackType CallbackType) = nullptr;
  void* Data = nullptr;
};

// One registration: a window (Handle) or a callback; IsEx for the extended kinds.
struct TUserListEntry {
  WindowHandle Handle = 0;
  TPortCallback Callback;
  TPortCallbackEx CallbackEx;
  bool IsEx = false;
};

// What users' windows are sent (wParam 0, lParam 0).
inline constexpr std::uint32_t kPortOpenMessage = 0x7E08;
inline constexpr std::uint32_t kPortClosedMessage = 0x7E09;
// To users' extended windows before a close; to the port's own window, the
// completion of a close left unfinished.
inline constexpr std::uint32_t kPortClosingMessage = 0x7E0A;
