// What the dispatch thread runs on each pass: moving received bytes into the
// input ring, and the receive, status and timer checks that fire triggers.
// A check decides under the locks and delivers after leaving them.
#include <algorithm>
#include <vector>

#include "platform/ansi_case.h"
#include "serial/dispatch/base_dispatcher.h"

namespace {

struct Notification {
  std::uint32_t Msg;
  std::uint32_t wParam;
  std::uint32_t Value;
};

}  // namespace

bool TDevaBaseDispatcher::MatchDataTrigger(TDataTrigger& Trigger, char C) {
  if (Trigger.IgnoreCase) C = static_cast<char>(AnsiUpperChar(static_cast<std::uint8_t>(C)));
  const char* pattern = Trigger.Pattern;
  std::int32_t* counters = Trigger.Counters;
  const auto length = static_cast<std::int32_t>(Trigger.Length);
  bool matched = false;
  bool started = false;
  bool examined = true;  // slot 0 always is
  // Each slot carries one partial match; at most one starts per byte, in the
  // first free slot examined.
  for (std::int32_t i = 0; i < length; ++i) {
    if (examined) {
      const std::int32_t p = counters[i];
      if (pattern[p] == C) {
        if (p == length - 1) {
          matched = true;
          std::fill(counters, counters + kMaxTriggerLen + 1, 0);
        } else {
          counters[i] = p + 1;
        }
      } else if (pattern[0] == C) {
        counters[i] = 1;
        started = true;
      } else {
        counters[i] = 0;
      }
    }
    if (counters[i] == 1) started = true;
    examined = counters[i + 1] != 0 || (!started && pattern[0] == C);
  }
  return matched;
}

bool TDevaBaseDispatcher::CheckReceiveTriggers() {
  std::vector<Notification> due;
  bool matched = false;
  {
    TCriticalSectionGuard input(InputLock);
    TCriticalSectionGuard triggers(TriggerLock);
    if (!InRing) return false;
    // At most one matching byte per call; the bytes before the pattern are
    // announced before the pattern itself.
    while (MatchPending > 0 && !matched) {
      const std::uint32_t pos = MatchPos;
      const char c = static_cast<char>(InRing[pos]);
      std::uint32_t longest = 0;
      for (auto& t : DataTriggerList) {
        if (t->Length == 0) continue;
        t->Matched = t->Matched || MatchDataTrigger(*t, c);
        if (t->Matched) {
          longest = std::max(longest, t->Length);
          matched = true;
        }
      }
      MatchPos = (pos + 1) % kInRingSize;
      --MatchPending;
      if (!matched) continue;
      if (LengthTrigger != 0 && NotifyPos != pos) {
        const std::uint32_t unread = UsedCount(pos, InTail, false) + 1;
        if (unread >= longest && unread - longest >= LengthTrigger) {
          due.push_back({kNotifyAvail, unread - longest, 0});
          NotifyPos = pos;
          AddDispatchEntry(dtTrigger, dstAvail, unread - longest, nullptr, 0);
        }
      }
      for (auto it = DataTriggerList.rbegin(); it != DataTriggerList.rend(); ++it) {
        if (!(*it)->Matched) continue;
        (*it)->Matched = false;
        due.push_back({kNotifyData, (*it)->Handle, (*it)->Length});
        AddDispatchEntry(dtTrigger, dstData, (*it)->Handle, nullptr, 0);
      }
    }
    if (!matched) {
      // An avail notification at most once for a given write position.
      const std::uint32_t used = UsedCount(InHead, InTail, InRingFull);
      if (LengthTrigger != 0 && NotifyPos != MatchPos && used >= LengthTrigger) {
        due.push_back({kNotifyAvail, used, 0});
        NotifyPos = MatchPos;
        AddDispatchEntry(dtTrigger, dstAvail, used, nullptr, 0);
      }
    }
  }
  bool result = matched;
  for (const Notification& n : due) {
    if (ClosePending) return false;
    if (n.Msg == kNotifyData) {
      // A handler of an earlier notification may have removed the trigger.
      TCriticalSectionGuard lock(TriggerLock);
      TTriggerRef found;
      if (FindTriggerFromHandle(n.wParam, false, found) != 0) continue;
    }
    result = SendNotify(n.Msg, n.wParam, n.Value);
  }
  return result;
}

bool TDevaBaseDispatcher::CheckStatusTriggers() {
  std::uint32_t handle = 0;
  std::uint32_t value = 0;
  {
    TCriticalSectionGuard lock(TriggerLock);
    for (auto& t : StatusTriggerList) {
      if (!t->Armed || t->Hit) continue;
      bool fires = false;
      switch (t->Type) {
        case 1: {  // a watched modem line left the state it had at arming
          const std::uint32_t mask = t->Value >> 8;
          fires = ((ModemStatusShadow ^ t->Value) & mask & 0xFF) != 0;
          break;
        }
        case 2: {
          const std::int32_t errors = LineErrors;
          fires = (errors & t->Value) != 0;
          if (fires) t->Value = static_cast<std::uint16_t>(errors);
          break;
        }
        case 3:
          value = OutBuffFree();
          fires = value >= t->Value;
          break;
        case 4:
          value = OutBuffUsed();
          fires = value <= t->Value;
          break;
        case 5: fires = OutputSentPending.exchange(false); break;
        default: break;
      }
      if (!fires) {
        value = 0;
        continue;
      }
      if (t->Type < 3) value = 0;
      t->Armed = false;
      t->Hit = true;
      StatusHit = true;
      handle = t->Handle;
      AddDispatchEntry(dtTrigger, dstStatus, handle, nullptr, 0);
      break;
    }
  }
  return handle != 0 && SendNotify(kNotifyStatus, handle, value);
}

bool TDevaBaseDispatcher::CheckTimerTriggers() {
  std::uint32_t handle = 0;
  {
    TCriticalSectionGuard lock(TriggerLock);
    for (auto& t : TimerTriggerList)
      if (t->Active && TimerExpired(t->Timer)) {
        t->Active = false;  // once per start
        handle = t->Handle;
        AddDispatchEntry(dtTrigger, dstTimer, handle, nullptr, 0);
        break;
      }
  }
  return handle != 0 && SendNotify(kNotifyTimer, handle, 0);
}

bool TDevaBaseDispatcher::CheckTriggers() {
  return CheckTimerTriggers() || CheckStatusTriggers() || CheckReceiveTriggers();
}

bool TDevaBaseDispatcher::ExtractData() {
  TCriticalSectionGuard lock(InputLock);
  if (!InRing) return false;
  if (InRingFull) {
    static constexpr char kFull[] = "Dispatch buffer full.";
    AddDispatchEntry(dtDispatch, dstStatus, 0, kFull, sizeof kFull - 1);
    return true;
  }
  const std::int32_t waiting = InQueueUsed();
  {
    TCriticalSectionGuard output(OutputLock);  // LastComStat is shared with the output counts
    LastComStat.cbInQue = static_cast<std::uint32_t>(std::max(waiting, 0));
  }
  if (waiting <= 0) return false;
  const auto n = static_cast<std::uint32_t>(waiting);

  // The free space, and its stretch up to the ring's end.
  std::uint32_t free, first;
  if (InTail == InHead) {
    free = kInRingSize;
    first = kInRingSize - InHead;
  } else if (InTail > InHead) {
    free = first = InTail - InHead;
  } else {
    free = InTail + kInRingSize - InHead;
    first = kInRingSize - InHead;
  }
  free = std::min(free, n);
  first = std::min(first, free);
  std::uint32_t second = free - first;

  std::uint32_t total = 0;
  const auto read = [&](std::uint32_t count) {
    std::int32_t got = ReadCom(InRing.get() + InHead, static_cast<std::int32_t>(count));
    if (got < 0) {
      got = 0;
      GetComEventMask(-1);
    }
    AddDispatchEntry(dtDispatch, dstReadCom, static_cast<std::uint32_t>(got), InRing.get() + InHead,
                     static_cast<std::uint32_t>(got));
    InHead += static_cast<std::uint32_t>(got);
    total += static_cast<std::uint32_t>(got);
    return static_cast<std::uint32_t>(got);
  };
  if (read(first) < first) second = 0;
  if (InHead == kInRingSize) InHead = 0;
  if (second > 0) read(second);
  if (total > 0) {
    InRingFull = InHead == InTail;
    MatchPending += total;
    InputArrived();
  }
  return true;
}
