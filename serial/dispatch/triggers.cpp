// The trigger records: handles, adding, finding, changing and removing them,
// and saving them across a reopen of the port.
#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/ansi_case.h"
#include "serial/base/result_codes.h"
#include "serial/dispatch/base_dispatcher.h"

namespace {

constexpr std::uint32_t kHandleCount = 4096;  // handles are 8 times a number below it
constexpr std::uint32_t kReusedHandleLimit = 4096;
constexpr char kDeactivated[] = "Deactivated";

}  // namespace

std::uint32_t TDevaBaseDispatcher::GetTriggerHandle() {
  if (NextTriggerHandle < kHandleCount) return NextTriggerHandle++ * 8;
  // The counter is spent: the lowest handle no trigger uses, up to 4096.
  const auto used = [this](std::uint32_t h) {
    return std::any_of(TimerTriggerList.begin(), TimerTriggerList.end(),
                       [h](const auto& t) { return t->Handle == h; }) ||
           std::any_of(StatusTriggerList.begin(), StatusTriggerList.end(),
                       [h](const auto& t) { return (t->Handle & ~7u) == h; }) ||
           std::any_of(DataTriggerList.begin(), DataTriggerList.end(),
                       [h](const auto& t) { return t->Handle == h; });
  };
  std::uint32_t candidate = 8;
  while (used(candidate)) candidate += 8;
  return candidate <= kReusedHandleLimit ? candidate : 0;
}

void TDevaBaseDispatcher::ChangeLengthTrigger(std::uint32_t Length) {
  TCriticalSectionGuard lock(TriggerLock);
  LengthTrigger = Length;
  AddDispatchEntry(dtTriggerDataChange, dstAvailTrigger, Length, nullptr, 0);
}

std::int32_t TDevaBaseDispatcher::AddTimerTrigger() {
  TCriticalSectionGuard lock(TriggerLock);
  const std::uint32_t handle = GetTriggerHandle();
  if (handle == 0) return ecNoMoreTriggers;
  auto trigger = std::make_unique<TTimerTrigger>();
  trigger->Handle = handle;
  TimerTriggerList.push_back(std::move(trigger));
  AddDispatchEntry(dtTriggerAlloc, dstTimerTrigger, handle, nullptr, 0);
  return static_cast<std::int32_t>(handle);
}

std::int32_t TDevaBaseDispatcher::AddDataTriggerLen(const char* Data, bool IgnoreCase,
                                                   std::uint32_t Len) {
  if (Len > static_cast<std::uint32_t>(kMaxTriggerLen)) return ecTriggerTooLong;
  TCriticalSectionGuard lock(TriggerLock);
  const std::uint32_t handle = GetTriggerHandle();
  if (handle == 0) return ecNoMoreTriggers;
  auto trigger = std::make_unique<TDataTrigger>();
  trigger->Handle = handle;
  trigger->Length = Len;
  trigger->IgnoreCase = IgnoreCase;
  if (Len > 0) std::memcpy(trigger->Pattern, Data, Len);
  if (IgnoreCase)
    for (std::uint32_t i = 0; i < Len; ++i)
      trigger->Pattern[i] =
          static_cast<char>(AnsiUpperChar(static_cast<std::uint8_t>(trigger->Pattern[i])));
  DataTriggerList.push_back(std::move(trigger));
  AddDispatchEntry(dtTriggerAlloc, dstDataTrigger, handle, Data, Len);
  return static_cast<std::int32_t>(handle);
}

std::int32_t TDevaBaseDispatcher::AddDataTrigger(const char* Data, bool IgnoreCase) {
  return AddDataTriggerLen(Data, IgnoreCase, static_cast<std::uint32_t>(std::strlen(Data)));
}

std::int32_t TDevaBaseDispatcher::AddStatusTrigger(std::uint32_t SType) {
  if (SType > 5) return ecBadArgument;
  TCriticalSectionGuard lock(TriggerLock);
  const std::uint32_t handle = GetTriggerHandle();
  if (handle == 0) return ecNoMoreTriggers;
  auto trigger = std::make_unique<TStatusTrigger>();
  trigger->Handle = handle | SType;  // the type travels in the low three bits
  trigger->Type = SType;
  StatusTriggerList.push_back(std::move(trigger));
  const auto type = static_cast<std::uint8_t>(SType);
  AddDispatchEntry(dtTriggerAlloc, dstStatusTrigger, handle | SType, &type, 1);
  return static_cast<std::int32_t>(handle | SType);
}

namespace {

// The record a lookup found, when it is of kind T.
template <typename T>
T* Found(const TTriggerRef& ref) {
  auto* const* record = std::get_if<T*>(&ref);
  return record ? *record : nullptr;
}

// The first record of `list` with that handle: its position, or the end.
template <typename List>
auto FindIn(List& list, std::uint32_t handle) {
  return std::find_if(list.begin(), list.end(), [handle](const auto& t) { return t->Handle == handle; });
}

}  // namespace

std::int32_t TDevaBaseDispatcher::FindTriggerFromHandle(std::uint32_t Handle, bool Delete,
                                                        TTriggerRef& Trigger) {
  Trigger = std::monostate();
  if (Handle == 0 || Handle == kLengthTriggerHandle) return ecBadTriggerHandle;
  if (auto it = FindIn(TimerTriggerList, Handle); it != TimerTriggerList.end()) {
    if (!Delete) return Trigger = it->get(), 0;
    TimerTriggerList.erase(it);
    AddDispatchEntry(dtTriggerDispose, dstTimer, Handle, nullptr, 0);
    return 0;
  }
  if (auto it = FindIn(StatusTriggerList, Handle); it != StatusTriggerList.end()) {
    if (!Delete) return Trigger = it->get(), 0;
    StatusTriggerList.erase(it);
    const auto type = static_cast<std::uint8_t>(Handle & 7);
    AddDispatchEntry(dtTriggerDispose, dstStatusTrigger, Handle, &type, 1);
    return 0;
  }
  if (auto it = FindIn(DataTriggerList, Handle); it != DataTriggerList.end()) {
    if (!Delete) return Trigger = it->get(), 0;
    DataTriggerList.erase(it);
    AddDispatchEntry(dtTriggerDispose, dstData, Handle, nullptr, 0);
    return 0;
  }
  return ecBadTriggerHandle;
}

std::int32_t TDevaBaseDispatcher::RemoveTrigger(std::uint32_t Handle) {
  TCriticalSectionGuard lock(TriggerLock);
  if (Handle == kLengthTriggerHandle) {
    LengthTrigger = 0;
    return 0;
  }
  TTriggerRef found;
  return FindTriggerFromHandle(Handle, true, found);
}

std::int32_t TDevaBaseDispatcher::SetTimerTrigger(std::uint32_t Handle, std::int32_t Ticks,
                                                  bool Activate) {
  TCriticalSectionGuard lock(TriggerLock);
  TTriggerRef found;
  FindTriggerFromHandle(Handle, false, found);
  TTimerTrigger* const timer = Found<TTimerTrigger>(found);
  if (!timer) return ecBadTriggerHandle;
  TTimerTrigger& t = *timer;
  if (Activate) {
    if (Ticks != 0) t.Ticks = Ticks;  // 0 restarts it with its last length
    NewTimer(t.Timer, t.Ticks);
    AddDispatchEntry(dtTriggerDataChange, dstTimerTrigger, Handle, &Ticks, sizeof Ticks);
  } else {
    AddDispatchEntry(dtTriggerDataChange, dstTimerTrigger, Handle, kDeactivated,
                     sizeof kDeactivated - 1);
  }
  t.Active = Activate;
  return 0;
}

std::int32_t TDevaBaseDispatcher::ExtendTimer(std::uint32_t Handle, std::int32_t Ticks) {
  TCriticalSectionGuard lock(TriggerLock);
  TTriggerRef found;
  FindTriggerFromHandle(Handle, false, found);
  TTimerTrigger* const timer = Found<TTimerTrigger>(found);
  if (!timer) return ecBadTriggerHandle;
  // Extended as far as asked, but never past the longest a timer runs (nor
  // out of the expiry tick's 32 bits).
  EventTimer& t = timer->Timer;
  const std::int64_t expiry = std::int64_t{t.ExpireTicks} + Ticks;
  t.ExpireTicks = static_cast<std::int32_t>(std::clamp<std::int64_t>(
      expiry, std::numeric_limits<std::int32_t>::min(), std::int64_t{t.StartTicks} + kMaxTimerTicks));
  AddDispatchEntry(dtTriggerDataChange, dstTimerTrigger, Handle, &Ticks, sizeof Ticks);
  return 0;
}

std::int32_t TDevaBaseDispatcher::TimerTicksRemaining(std::uint32_t Handle,
                                                      std::int32_t& Remaining) {
  Remaining = 0;
  TCriticalSectionGuard lock(TriggerLock);
  TTriggerRef found;
  FindTriggerFromHandle(Handle, false, found);
  TTimerTrigger* const timer = Found<TTimerTrigger>(found);
  if (!timer) return ecBadTriggerHandle;
  Remaining = RemainingTime(timer->Timer);
  return 0;
}

std::int32_t TDevaBaseDispatcher::SetStatusTrigger(std::uint32_t Handle, std::uint16_t Value,
                                                   bool Activate) {
  TCriticalSectionGuard lock(TriggerLock);
  TTriggerRef found;
  FindTriggerFromHandle(Handle, false, found);
  TStatusTrigger* const status = Found<TStatusTrigger>(found);
  if (!status) return ecBadTriggerHandle;
  TStatusTrigger& t = *status;
  if (Activate) {
    const std::uint8_t before[2] = {t.Armed, t.Hit};
    switch (t.Type) {
      case 1: {  // the watched lines, and their state now
        const std::uint16_t mask = Value & 0xFF;
        t.Value = static_cast<std::uint16_t>(mask << 8 | (mask & ModemStatusShadow));
        break;
      }
      case 2: {  // line errors, as the line-error bits name them
        constexpr std::pair<std::uint16_t, std::uint16_t> kErrors[] = {
            {1, kCeOverrun}, {2, kCeRxParity}, {4, kCeFrame}, {8, kCeBreak}};
        t.Value = 0;
        for (const auto& [asked, bit] : kErrors)
          if (Value & asked) t.Value |= bit;
        break;
      }
      case 3:
      case 4: t.Value = Value; break;
      default: break;  // the value means nothing to the others
    }
    std::uint8_t entry[4];
    std::memcpy(entry, &t.Value, 2);
    std::memcpy(entry + 2, before, 2);
    AddDispatchEntry(dtTriggerDataChange, dstStatusTrigger, Handle, entry, sizeof entry);
  }
  t.Armed = Activate;
  return 0;
}

void TDevaBaseDispatcher::SaveTriggers(TTriggerSave& Save) {
  ClearSaveBuffers(Save);
  TCriticalSectionGuard lock(TriggerLock);
  Save.LengthTrigger = LengthTrigger;
  for (const auto& t : TimerTriggerList) Save.TimerTriggers.push_back(*t);
  for (const auto& t : DataTriggerList) Save.DataTriggers.push_back(*t);
  for (const auto& t : StatusTriggerList) Save.StatusTriggers.push_back(*t);
}

void TDevaBaseDispatcher::RestoreTriggers(const TTriggerSave& Save) {
  TCriticalSectionGuard lock(TriggerLock);
  LengthTrigger = Save.LengthTrigger;
  TimerTriggerList.clear();
  DataTriggerList.clear();
  StatusTriggerList.clear();
  std::uint32_t highest = 0;
  for (const auto& t : Save.TimerTriggers) {
    TimerTriggerList.push_back(std::make_unique<TTimerTrigger>(t));
    highest = std::max(highest, t.Handle);
  }
  for (const auto& t : Save.DataTriggers) {
    DataTriggerList.push_back(std::make_unique<TDataTrigger>(t));
    highest = std::max(highest, t.Handle);
  }
  for (const auto& t : Save.StatusTriggers) {
    StatusTriggerList.push_back(std::make_unique<TStatusTrigger>(t));
    highest = std::max(highest, t.Handle);
  }
  // New triggers get handles that no restored one has.
  NextTriggerHandle = std::max(NextTriggerHandle, highest / 8 + 1);
}

void TDevaBaseDispatcher::ClearSaveBuffers(TTriggerSave& Save) { Save = TTriggerSave(); }
