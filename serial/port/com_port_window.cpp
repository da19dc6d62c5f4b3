// The port's notification window: made at the end of an open, gone with the
// close. The dispatcher's threads reach the port's events through it, on the
// thread that opened the port.
#include "platform/application.h"
#include "serial/dispatch/port_list.h"
#include "serial/port/com_port.h"
#include "serial/port/com_port_use.h"

std::intptr_t ComWindowProc(WindowHandle Window, std::uint32_t Msg, std::uintptr_t wParam, std::intptr_t lParam) {
  if (Msg != kNotifyAvail && Msg != kNotifyData && Msg != kNotifyTimer && Msg != kNotifyStatus &&
      Msg != kPortClosingMessage)
    return 0;
  const auto param = static_cast<std::uint32_t>(lParam);
  const std::uint32_t handle = param >> 16;
  const auto data = static_cast<std::uint16_t>(param & 0xFFFF);

  // The port through its dispatcher's handle, never held by the window: one
  // that is gone, or whose current window this is not (a message left for a
  // window of an earlier open), is not reached.
  TDevaCustomComPort* port = nullptr;
  std::unique_ptr<PortUse> use;
  LockPortList();
  const std::vector<TDevaBaseDispatcher*>& list = PortList();
  if (handle < list.size() && list[handle]) {
    TDevaBaseDispatcher* d = list[handle];
    port = dynamic_cast<TDevaCustomComPort*>(d->PortOwner);
    // Taken under the list's lock: the port cannot free this dispatcher (and
    // leave the list) before the use is counted.
    if (port && port->Window_ == Window && port->Dispatcher_ == d) use = std::make_unique<PortUse>(*port);
  }
  UnlockPortList();
  if (!use || !*use) return 0;

  try {
    const auto trigger = static_cast<std::uint16_t>(wParam);
    port->Trigger(static_cast<std::uint16_t>(Msg), trigger, Msg == kNotifyAvail ? trigger : data);
    switch (Msg) {
      case kNotifyAvail: port->TriggerAvail(trigger); break;
      case kNotifyData: port->TriggerData(trigger); break;
      case kNotifyTimer: port->TriggerTimer(trigger); break;
      case kNotifyStatus:
        port->TriggerStatus(trigger);
        switch (TDevaBaseDispatcher::ClassifyStatusTrigger(trigger)) {
          case 1: port->TriggerModemStatus(); break;
          case 2: {
            const bool lineBreak = port->GetLineBreak();
            port->TriggerLineError(static_cast<std::uint16_t>(port->GetLineError()), lineBreak);
            break;
          }
          case 3: port->TriggerOutbuffFree(); break;
          case 4: port->TriggerOutbuffUsed(); break;
          case 5: port->TriggerOutSent(); break;
          default: break;
        }
        break;
      default: break;
    }
    // A close left unfinished (by a handler here, or by the port's own
    // message) completes once only this message still holds the port; an
    // open asked for meanwhile follows, unless a close is still running.
    if (port->Deferred_ && port->FinishClose(1) && !port->Closing_) port->ServeOpenRequest();
  } catch (const std::exception& e) {
    // Never out of the window procedure: shown on the main thread, dropped elsewhere.
    if (IsMainThread()) Application().ShowException(e);
  }
  return 0;
}

void TDevaCustomComPort::RegisterComPort(bool Enabling) {
  TDevaBaseDispatcher* d = Dispatcher_;
  if (Enabling) {
    Window_ = CreateMessageWindow(&ComWindowProc);
    d->RegisterWndTriggerHandler(Window_);
    return;
  }
  const WindowHandle window = Window_.exchange(0);
  if (!window) return;
  if (d) d->DeregisterWndTriggerHandler(window);
  // Only the window's own thread can destroy it; elsewhere it stays, and
  // nothing reaches this port through it any more.
  DestroyMessageWindow(window);
}

void TDevaCustomComPort::Trigger(std::uint16_t Msg, std::uint16_t TriggerHandle, std::uint16_t Data) {
  if (OnTrigger_) OnTrigger_(this, Msg, TriggerHandle, Data);
}

void TDevaCustomComPort::TriggerAvail(std::uint16_t Count) {
  if (OnTriggerAvail_) OnTriggerAvail_(this, Count);
}

void TDevaCustomComPort::TriggerData(std::uint16_t TriggerHandle) {
  if (OnTriggerData_) OnTriggerData_(this, TriggerHandle);
}

void TDevaCustomComPort::TriggerStatus(std::uint16_t TriggerHandle) {
  if (OnTriggerStatus_) OnTriggerStatus_(this, TriggerHandle);
}

void TDevaCustomComPort::TriggerTimer(std::uint16_t TriggerHandle) {
  if (OnTriggerTimer_) OnTriggerTimer_(this, TriggerHandle);
}

void TDevaCustomComPort::TriggerLineError(std::uint16_t Error, bool LineBreak) {
  if (OnTriggerLineError_) OnTriggerLineError_(this, Error, LineBreak);
}

void TDevaCustomComPort::TriggerModemStatus() {
  if (OnTriggerModemStatus_) OnTriggerModemStatus_(this);
}

void TDevaCustomComPort::TriggerOutbuffFree() {
  if (OnTriggerOutbuffFree_) OnTriggerOutbuffFree_(this);
}

void TDevaCustomComPort::TriggerOutbuffUsed() {
  if (OnTriggerOutbuffUsed_) OnTriggerOutbuffUsed_(this);
}

void TDevaCustomComPort::TriggerOutSent() {
  if (OnTriggerOutSent_) OnTriggerOutSent_(this);
}

void TDevaCustomComPort::WaitChar(char C) {
  if (OnWaitChar) OnWaitChar(this, C);
}
