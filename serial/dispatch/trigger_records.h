#pragma once
// The records that the dispatcher's trigger and handler lists own, and the
// notification callbacks that handlers register.
#include <cstdint>
#include <variant>
#include <vector>

#include "platform/message_window.h"
#include "serial/base/time_base.h"

using TDevaNotifyProc = void (*)(std::uint32_t msg, std::uint32_t wparam, std::int32_t lparam);

// A method bound to its object; handlers are told apart by Code alone.
struct TDevaNotifyEvent {
  void (*Code)(void* data, std::uint32_t msg, std::uint32_t wparam, std::int32_t lparam) = nullptr;
  void* Data = nullptr;
};

inline constexpr int kMaxTriggerLen = 21;  // longest data-trigger pattern

struct TTimerTrigger {
  std::uint32_t Handle = 0;
  EventTimer Timer;
  std::int32_t Ticks = 0;  // length last given when it was started
  bool Active = false;
};

struct TDataTrigger {
  std::uint32_t Handle = 0;
  std::uint32_t Length = 0;  // 0 to kMaxTriggerLen
  // Counter i: how many pattern bytes the partial match in slot i has seen.
  std::int32_t Counters[kMaxTriggerLen + 1] = {};
  bool Matched = false;  // completed, notification due
  bool IgnoreCase = false;
  char Pattern[24] = {};
};

struct TStatusTrigger {
  std::uint32_t Handle = 0;  // the type is in the low three bits
  std::uint32_t Type = 0;    // 0 to 5
  std::uint16_t Value = 0;
  bool Armed = false;
  bool Hit = false;  // fired in the current pass of checks
};

struct TWndTriggerHandler {
  WindowHandle Window = 0;
  bool Deleted = false;
};

struct TProcTriggerHandler {
  TDevaNotifyProc Proc = nullptr;
  bool Deleted = false;
};

struct TEventTriggerHandler {
  TDevaNotifyEvent Event;
  bool Deleted = false;
  bool Synchronised = false;  // run on the main thread
};

enum TApHandlerFlagUpdate { fuKeepPort, fuEnablePort, fuDisablePort };

// A trigger found by its handle, or none.
using TTriggerRef = std::variant<std::monostate, TTimerTrigger*, TStatusTrigger*, TDataTrigger*>;

// The triggers of a port kept across a close and the next open, handles and
// states included; owned by the port.
struct TTriggerSave {
  std::uint32_t LengthTrigger = 0;
  std::vector<TTimerTrigger> TimerTriggers;
  std::vector<TDataTrigger> DataTriggers;
  std::vector<TStatusTrigger> StatusTriggers;
};
