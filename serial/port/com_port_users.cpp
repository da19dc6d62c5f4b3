// The port's users, told when it opens and closes; copying the settings of
// another port; finding a port among components; the names of ports.
#include <algorithm>

#include "serial/port/com_port.h"

void TDevaCustomComPort::RegisterUser(WindowHandle H) {
  TUserListEntry entry;
  entry.Handle = H;
  UserList_.push_back(entry);
}

void TDevaCustomComPort::RegisterUserEx(WindowHandle H) {
  TUserListEntry entry;
  entry.Handle = H;
  entry.IsEx = true;
  UserList_.push_back(entry);
}

void TDevaCustomComPort::RegisterUserCallback(TPortCallback CB) {
  TUserListEntry entry;
  entry.Callback = CB;
  UserList_.push_back(entry);
}

void TDevaCustomComPort::RegisterUserCallbackEx(TPortCallbackEx CB) {
  TUserListEntry entry;
  entry.CallbackEx = CB;
  entry.IsEx = true;
  UserList_.push_back(entry);
}

void TDevaCustomComPort::DeregisterUser(WindowHandle H) {
  std::erase_if(UserList_, [H](const TUserListEntry& e) { return e.Handle == H; });
}

void TDevaCustomComPort::DeregisterUserCallback(TPortCallback CB) {
  // By the method alone: every object's registration of it goes.
  std::erase_if(UserList_, [CB](const TUserListEntry& e) { return e.Callback.Code && e.Callback.Code == CB.Code; });
}

void TDevaCustomComPort::DeregisterUserCallbackEx(TPortCallbackEx CB) {
  std::erase_if(UserList_,
                [CB](const TUserListEntry& e) { return e.CallbackEx.Code && e.CallbackEx.Code == CB.Code; });
}

void TDevaCustomComPort::NotifyUsers(TDevaCallbackType Type) {
  // From the last registered to the first; a user may deregister meanwhile.
  const std::vector<TUserListEntry> users = UserList_;
  for (auto it = users.rbegin(); it != users.rend(); ++it) {
    const TUserListEntry& user = *it;
    if (Type == ctClosing && !user.IsEx) continue;
    if (user.Handle) {
      const std::uint32_t message = Type == ctOpen      ? kPortOpenMessage
                                    : Type == ctClosing ? kPortClosingMessage
                                                        : kPortClosedMessage;
      SendWindowMessage(user.Handle, message, 0, 0);
    } else if (user.IsEx) {
      if (user.CallbackEx.Code) user.CallbackEx.Code(user.CallbackEx.Data, this, Type);
    } else if (user.Callback.Code) {
      user.Callback.Code(user.Callback.Data, this, Type == ctOpen);
    }
  }
}

void TDevaCustomComPort::PortOpen() {
  NotifyUsers(ctOpen);
  if (OnPortOpen) OnPortOpen(this);
}

void TDevaCustomComPort::PortClosing() { NotifyUsers(ctClosing); }

void TDevaCustomComPort::PortClose() {
  NotifyUsers(ctClosed);
  if (OnPortClose) OnPortClose(this);
}

void TDevaCustomComPort::Assign(const TComponent& Source) {
  const auto* source = dynamic_cast<const TDevaCustomComPort*>(&Source);
  if (!source || source == this) return;
  // A target left running while it reads closed would hold its device for
  // nothing: it is closed first (an open asked for meanwhile stays asked for).
  if (PortState_ == psOpen) DonePort();
  UserList_ = source->UserList_;
  if (source->PortState_ == psOpen) {
    if (TDevaBaseDispatcher* d = source->Dispatcher_) {
      d->SaveTriggers(SavedTriggers_);
      TriggersSaved_ = true;
    }
  }
  Force_ = source->Force_;
  DeviceLayer_ = source->DeviceLayer_;
  ComNumber_ = source->ComNumber_;
  Baud_ = source->Baud_;
  Parity_ = source->Parity_;
  DataBits_ = source->DataBits_;
  StopBits_ = source->StopBits_;
  InSize_ = source->InSize_;
  OutSize_ = source->OutSize_;
  // A close still completing keeps Open until it is done.
  if (PortState_ == psClosed) Open_ = false;
  AutoOpen = source->AutoOpen;
  PromptForPort = source->PromptForPort;
  RS485Mode_ = source->RS485Mode_;
  ThreadBoost_ = source->ThreadBoost_;
  DTR_ = source->DTR_;
  RTS_ = source->RTS_;
  BufferFull_ = source->BufferFull_;
  BufferResume_ = source->BufferResume_;
  HWFlowOptions_ = source->HWFlowOptions_;
  SWFlowOptions_ = source->SWFlowOptions_;
  XOnChar_ = source->XOnChar_;
  XOffChar_ = source->XOffChar_;
  Tracing_ = source->Tracing_;
  TraceSize_ = source->TraceSize_;
  TraceName = source->TraceName;
  TraceHex = source->TraceHex;
  TraceAllHex = source->TraceAllHex;
  Logging_ = source->Logging_;
  LogSize_ = source->LogSize_;
  LogName = source->LogName;
  LogHex = source->LogHex;
  LogAllHex = source->LogAllHex;
  TriggerLength_ = source->TriggerLength_;
  SetOnTrigger(source->OnTrigger_);
  SetOnTriggerAvail(source->OnTriggerAvail_);
  SetOnTriggerData(source->OnTriggerData_);
  SetOnTriggerStatus(source->OnTriggerStatus_);
  SetOnTriggerTimer(source->OnTriggerTimer_);
  OnPortOpen = source->OnPortOpen;
  OnPortClose = source->OnPortClose;
  TapiMode = source->TapiMode;
}

TDevaCustomComPort* SearchComPort(const TComponent* C) {
  if (!C) return nullptr;
  for (int i = 0; i < C->ComponentCount(); ++i) {
    TComponent* child = C->Components(i);
    if (auto* port = dynamic_cast<TDevaCustomComPort*>(child)) return port;
    if (TDevaCustomComPort* port = SearchComPort(child)) return port;
  }
  return nullptr;
}

std::string ComName(std::uint16_t ComNumber) { return "COM" + std::to_string(ComNumber); }
