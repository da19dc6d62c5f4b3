// Delivering a notification to the registered handlers, the handler lists, and
// the wait owner of the event-busy flag.
#include <algorithm>
#include <exception>
#include <thread>

#include "platform/message_window.h"
#include "serial/base/show_exception.h"
#include "serial/dispatch/base_dispatcher.h"

namespace {

// A handler as a notification found it. Records stay allocated while a
// notification is delivered (removals wait for its end), so these stay valid.
struct HandlerRef {
  TEventTriggerHandler* Event = nullptr;
  TProcTriggerHandler* Proc = nullptr;
  TWndTriggerHandler* Window = nullptr;
};

// Frees the records marked deleted, from the list's end to its start.
template <typename List>
void PurgeDeleted(List& list) {
  for (auto it = list.end(); it != list.begin();) {
    --it;
    if ((*it)->Deleted) it = list.erase(it);
  }
}

}  // namespace

bool TDevaBaseDispatcher::SendNotify(std::uint32_t Msg, std::uint32_t wParam, std::uint32_t Value) {
  if (!NotifyNeeded) return true;
  const bool avail = Msg == kNotifyAvail || Msg == kNotifyData;
  const auto lParam =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(DispatcherHandle) * 65536u + Value);

  // Taken under the lock, delivered without it: handlers may change the
  // triggers and handlers, and other threads deliver at the same time.
  std::vector<HandlerRef> handlers;
  {
    TCriticalSectionGuard lock(TriggerLock);
    ++NotifyBusy;
    UpdateEventBusy();
    for (auto& h : EventHandlerList) handlers.push_back({.Event = h.get()});
    for (auto& h : ProcHandlerList) handlers.push_back({.Proc = h.get()});
    if (WndHandlerList.size() > 1 || PortHandlerPresent)
      for (auto& h : WndHandlerList) handlers.push_back({.Window = h.get()});
  }
  if (avail) {
    TCriticalSectionGuard lock(InputLock);
    MaxHandlerReadCount = 0;
    HandlerReadCount = 0;
    InAvailNotify = true;
    HandlerReadsHeld = !handlers.empty();
  }

  bool result = true;
  bool closing = false;
  std::exception_ptr failure;
  try {
    for (const HandlerRef& h : handlers) {
      // The handler as it stands now: one deregistered meanwhile is skipped.
      TDevaNotifyEvent event;
      bool synchronised = false;
      TDevaNotifyProc proc = nullptr;
      WindowHandle window = 0;
      {
        TCriticalSectionGuard lock(TriggerLock);
        if (h.Event && !h.Event->Deleted) {
          event = h.Event->Event;
          synchronised = h.Event->Synchronised;
        } else if (h.Proc && !h.Proc->Deleted) {
          proc = h.Proc->Proc;
        } else if (h.Window && !h.Window->Deleted) {
          window = h.Window->Window;
        }
      }
      if (avail) {
        TCriticalSectionGuard lock(InputLock);
        HandlerReadCount = 0;
        // Only the thread that runs the handler reads as the handler.
        HandlerThread = window ? WindowThread(window)
                        : (event.Code && synchronised) ? std::thread::id()
                                                       : std::this_thread::get_id();
      }
      if (event.Code && synchronised) {
        Synchronize([&] {
          if (avail) {
            TCriticalSectionGuard lock(InputLock);
            HandlerThread = std::this_thread::get_id();
          }
          event.Code(event.Data, Msg, wParam, lParam);
        });
      } else if (event.Code) {
        event.Code(event.Data, Msg, wParam, lParam);
      } else if (proc) {
        proc(Msg, wParam, lParam);
      } else if (window) {
        SendWindowMessageTimeout(window, Msg, wParam, lParam, kNotifyTimeout);
      }
      if (ClosePending) {
        closing = true;
        break;
      }
      if (avail) {
        TCriticalSectionGuard lock(InputLock);
        HandlerThread = {};
        MaxHandlerReadCount = std::max(MaxHandlerReadCount, HandlerReadCount);
      }
    }
  } catch (...) {
    // A handler's exception ends this notification, not the thread delivering
    // it; what the handler read before it threw counts as read.
    failure = std::current_exception();
    if (avail) {
      TCriticalSectionGuard lock(InputLock);
      MaxHandlerReadCount = std::max(MaxHandlerReadCount, HandlerReadCount);
    }
  }

  if (avail) {
    TCriticalSectionGuard lock(InputLock);
    InAvailNotify = false;
    HandlerReadsHeld = false;
    HandlerThread = {};
    // A close leaves the read position alone: the rings are going.
    if (!closing) {
      InTail = (InTail + MaxHandlerReadCount) % kInRingSize;
      if (MaxHandlerReadCount != 0) InRingFull = false;
      TailMoved();
      if (Msg == kNotifyAvail && MaxHandlerReadCount != wParam) result = false;
    }
    HandlerReadCount = 0;
  }
  {
    TCriticalSectionGuard lock(TriggerLock);
    --NotifyBusy;
    UpdateEventBusy();
    if (NotifyBusy == 0 && HandlerListDirty) {
      PurgeDeleted(WndHandlerList);
      PurgeDeleted(ProcHandlerList);
      PurgeDeleted(EventHandlerList);
      HandlerListDirty = false;
    }
    UpdateHandlerFlags(fuKeepPort);
  }
  // Readers held off meanwhile may go on, and a close waiting for the end of
  // the notification too.
  InputArrived();
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (...) {
      ShowCurrentException();
    }
    return false;
  }
  return !closing && result;
}

void TDevaBaseDispatcher::RegisterWndTriggerHandler(WindowHandle Window) {
  TCriticalSectionGuard lock(TriggerLock);
  WndHandlerList.push_back(std::make_unique<TWndTriggerHandler>(TWndTriggerHandler{Window}));
  NotifyNeeded = true;
  AddDispatchEntry(dtTriggerHandlerAlloc, dstWndHandler, Window, nullptr, 0);
}

void TDevaBaseDispatcher::RegisterProcTriggerHandler(TDevaNotifyProc Proc) {
  TCriticalSectionGuard lock(TriggerLock);
  ProcHandlerList.push_back(std::make_unique<TProcTriggerHandler>(TProcTriggerHandler{Proc}));
  NotifyNeeded = true;
  AddDispatchEntry(dtTriggerHandlerAlloc, dstProcHandler, 0, nullptr, 0);
}

void TDevaBaseDispatcher::RegisterEventTriggerHandler(TDevaNotifyEvent Event) {
  TCriticalSectionGuard lock(TriggerLock);
  EventHandlerList.push_back(std::make_unique<TEventTriggerHandler>(TEventTriggerHandler{Event}));
  NotifyNeeded = true;
  AddDispatchEntry(dtTriggerHandlerAlloc, dstEventHandler, 0, nullptr, 0);
}

void TDevaBaseDispatcher::RegisterSyncEventTriggerHandler(TDevaNotifyEvent Event) {
  TCriticalSectionGuard lock(TriggerLock);
  EventHandlerList.push_back(
      std::make_unique<TEventTriggerHandler>(TEventTriggerHandler{Event, false, true}));
  NotifyNeeded = true;
  AddDispatchEntry(dtTriggerHandlerAlloc, dstEventHandler, 1, nullptr, 0);
}

namespace {

// Removes the first record that `matches` (deleted ones included), or marks it
// while a notification holds the list's records; true when one was found.
template <typename List, typename Matches>
bool Deregister(List& list, Matches matches, bool delivering, bool& dirty) {
  const auto it = std::find_if(list.begin(), list.end(), [&](const auto& h) { return matches(*h); });
  if (it == list.end()) return false;
  if (delivering) {
    (*it)->Deleted = true;
    dirty = true;
  } else {
    list.erase(it);
  }
  return true;
}

}  // namespace

void TDevaBaseDispatcher::DeregisterWndTriggerHandler(WindowHandle Window) {
  TCriticalSectionGuard lock(TriggerLock);
  if (Deregister(WndHandlerList, [&](const TWndTriggerHandler& h) { return h.Window == Window; },
                 NotifyBusy > 0, HandlerListDirty))
    AddDispatchEntry(dtTriggerHandlerDispose, dstWndHandler, Window, nullptr, 0);
  UpdateHandlerFlags(fuKeepPort);
}

void TDevaBaseDispatcher::DeregisterProcTriggerHandler(TDevaNotifyProc Proc) {
  TCriticalSectionGuard lock(TriggerLock);
  if (Deregister(ProcHandlerList, [&](const TProcTriggerHandler& h) { return h.Proc == Proc; },
                 NotifyBusy > 0, HandlerListDirty))
    AddDispatchEntry(dtTriggerHandlerDispose, dstProcHandler, 0, nullptr, 0);
  UpdateHandlerFlags(fuKeepPort);
}

void TDevaBaseDispatcher::DeregisterEventTriggerHandler(TDevaNotifyEvent Event) {
  TCriticalSectionGuard lock(TriggerLock);
  // By the method's code alone, whatever object it is bound to.
  if (Deregister(EventHandlerList,
                 [&](const TEventTriggerHandler& h) { return h.Event.Code == Event.Code; },
                 NotifyBusy > 0, HandlerListDirty))
    AddDispatchEntry(dtTriggerHandlerDispose, dstEventHandler, 0, nullptr, 0);
  UpdateHandlerFlags(fuKeepPort);
}

void TDevaBaseDispatcher::SetEventBusy(bool& WasOn, bool SetOn) {
  TCriticalSectionGuard lock(TriggerLock);
  WasOn = WaitBusy;
  WaitBusy = SetOn;
  UpdateEventBusy();
}
