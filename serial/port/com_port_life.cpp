// The port component's open and close, and the completion of a close whose
// dispatcher is still in use.
#include <algorithm>
#include <chrono>

#include "platform/application.h"
#include "platform/errno_map.h"
#include "serial/base/delay.h"
#include "serial/base/deva_exceptions.h"
#include "serial/base/result_codes.h"
#include "serial/dispatch/tapi32_dispatcher.h"
#include "serial/port/com_port.h"
#include "serial/port/com_port_use.h"
#include "serial/port/port_selection.h"

TDevaCustomComPort::TDevaCustomComPort(TComponent* Owner) : TDevaBaseComponent(Owner) {}

TDevaCustomComPort::~TDevaCustomComPort() {
  // Nothing may reach this component once it is gone: the port is closed, the
  // close completed and every use on other threads ended.
  for (;;) {
    try {
      if (PortState_ == psOpen) DonePort();
    } catch (const std::exception& e) {
      Application().ShowException(e);  // a trace that could not be written; the port is closed
    }
    AwaitQuiet();
    if (PortState_ == psClosed) break;  // else opened again meanwhile by a completion
  }
  TDevaBaseDispatcher::ClearSaveBuffers(SavedTriggers_);
}

void TDevaCustomComPort::SetOpen(bool Value) {
  FinishClose(0);  // a close that can be completed now is
  if (!Value) OpenRequest_ = false;  // the latest request is to close
  if (Value == Open_) return;
  if (IsLoading()) {
    Open_ = Value;
    if (Value) OpenOnLoad_ = true;
    return;
  }
  if (!Value) {
    DonePort();
  } else if (PortState_ != psClosed) {
    OpenRequest_ = true;  // served when the close is complete
  } else {
    InitPort();
  }
}

void TDevaCustomComPort::ValidateComport() {
  if (ComNumber_ != 0) return;
  if (!PromptForPort) throw ENoPortSelected(ecNoPortSelected);
  const std::optional<unsigned> chosen = AskForPort();
  // A dialog closed with OK but nothing chosen names no port either.
  if (!chosen || *chosen == 0 || *chosen > 0xFFFF) throw ENoPortSelected(ecNoPortSelected);
  SetComNumber(static_cast<std::uint16_t>(*chosen));
}

std::unique_ptr<TDevaBaseDispatcher> TDevaCustomComPort::ActivateDeviceLayer() {
  if (ActivationProcedure) {
    if (auto d = ActivationProcedure(*this)) return d;
    throw ENullApi(ecNullApi);
  }
  if (DeviceLayer_ != dlWin32) throw ENullApi(ecNullApi);
  if (TapiMode == tmOn) return std::make_unique<TDevaTAPI32Dispatcher>(this, std::move(TapiDevice_));
  return std::make_unique<TDevaWin32Dispatcher>(this);
}

std::int32_t TDevaCustomComPort::InitializePort() {
  std::uint32_t options = 0;
  if (DTR_) options |= kOptRaiseDtr;
  if (RTS_) options |= kOptRaiseRts;
  if (HWFlowOptions_.Contains(hwfUseDTR)) options |= kOptDtrByDriver;
  if (HWFlowOptions_.Contains(hwfUseRTS)) options |= kOptRtsByDriver;
  const std::string name = TapiMode == tmOn ? std::string() : "\\\\.\\" + ComName(ComNumber_);
  TDevaBaseDispatcher* d = GetDispatcher();
  if (!d) throw ECommNotOpen(ecCommNotOpen);
  return d->InitPort(TapiMode == tmOn ? nullptr : name.c_str(), Baud_, Parity_,
                     static_cast<std::int8_t>(DataBits_), static_cast<std::int8_t>(StopBits_), InSize_,
                     OutSize_, options);
}

void TDevaCustomComPort::ReapplySettings() {
  Forced([this] {
    SetTracing(Tracing_);
    SetLogging(Logging_);
    SetHWFlowOptions(HWFlowOptions_);
    SetSWFlowOptions(SWFlowOptions_);
    SetXonChar(XOnChar_);
    SetXoffChar(XOffChar_);
    SetTriggerLength(TriggerLength_);
    SetDTR(DTR_);
    SetRTS(RTS_);
    SetUseEventWord(UseEventWord_);
    SetRS485Mode(RS485Mode_);
    SetThreadBoost(ThreadBoost_);
  });
}

void TDevaCustomComPort::InitPort() {
  if (PortState_ != psClosed) return;  // one dispatcher at a time
  OpenRequest_ = false;                 // served by this open
  if (TapiMode != tmOn) ValidateComport();
  const bool tapiDevice = TapiDevice_ != nullptr;
  std::unique_ptr<TDevaBaseDispatcher> made = ActivateDeviceLayer();
  made->DeviceName = "\\\\.\\" + ComName(ComNumber_);
  TDevaBaseDispatcher& d = *made;
  Dispatcher_ = made.release();
  bool windowRegistered = false;
  try {
    if (TapiMode == tmOn) {
      if (!tapiDevice) throw ENotOpenedByTapi(ecNotOpenedByTapi);
      std::uint16_t parity;
      std::int8_t dataBits, stopBits;
      d.GetLine(Baud_, parity, dataBits, stopBits);
      Parity_ = static_cast<TParity>(parity);
      DataBits_ = static_cast<std::uint16_t>(dataBits);
      StopBits_ = static_cast<std::uint16_t>(stopBits);
      std::uint32_t hw, sw, full, resume;
      d.GetFlowOptions(hw, sw, full, resume, XOnChar_, XOffChar_);
      HWFlowOptions_ = THWFlowOptionSet::FromBits(static_cast<std::uint8_t>(hw & 0x0F));
      SWFlowOptions_ = static_cast<TSWFlowOptions>(sw & 3);
    }
    std::int32_t result = InitializePort();
    // Held by another program: already open. One we may not open keeps its own
    // code, "File access denied".
    if (result == -kSysSharingViolation) result = ecAlreadyOpen;
    if (result == ecFileNotFound || result == ecPathNotFound) result = ecBadId;
    if (result != 0) {
      Check(result);
      throw ECommNotOpen(ecCommNotOpen);  // not raised while loading: still no open port
    }
    PortState_ = psOpen;
    UpdateHandlerFlag();
    ReapplySettings();
    Open_ = true;
    RegisterComPort(true);
    windowRegistered = true;
    if (TriggersSaved_) {
      TriggersSaved_ = false;
      d.RestoreTriggers(SavedTriggers_);
    }
    PortOpen();
  } catch (...) {
    UndoOpen(windowRegistered);
    throw;
  }
}

void TDevaCustomComPort::UndoOpen(bool WindowRegistered) {
  Open_ = false;
  PortState_ = psShuttingDown;  // what other threads began ends without the dispatcher
  // The window goes with the dispatcher it was registered with.
  if (WindowRegistered) RegisterComPort(false);
  TDevaBaseDispatcher* d = Dispatcher_;
  d->DonePort();
  d->InputArrived();
  LeaveToCompletion();
  // This thread's uses end with the exception; none of them holds this dispatcher.
  AwaitCompletion(kAnyOwnUses);
}

void TDevaCustomComPort::DonePort() {
  if (PortState_ != psOpen) return;
  if (Closing_.exchange(true)) return;  // another thread is closing the port
  TDevaBaseDispatcher* d = Dispatcher_;
  // The dumps go first, while the port is still open. Each is written even
  // when the other could not be; the first failure is reported once the port
  // is closed.
  std::exception_ptr dumpFailure;
  for (void (TDevaCustomComPort::*dump)(TTraceLogState) :
       {&TDevaCustomComPort::SetTracing, &TDevaCustomComPort::SetLogging}) {
    try {
      (this->*dump)(tlDump);
    } catch (...) {
      if (!dumpFailure) dumpFailure = std::current_exception();
    }
  }
  PortState_ = psShuttingDown;
  PortClosing();
  d->SaveTriggers(SavedTriggers_);
  TriggersSaved_ = true;
  d->DonePort();
  d->InputArrived();  // waits on other threads see the close at once
  // Taken while the dispatcher is surely there: once the close is left to
  // its completion, another thread may complete it.
  const WindowHandle window = Window_;
  const std::intptr_t completion = CompletionParam(*d);
  LeaveToCompletion();
  if (!FinishClose(0) && PostWindowMessage(window, kPortClosingMessage, 0, completion)) SafeYield();
  Closing_ = false;
  PortClose();
  if (dumpFailure) std::rethrow_exception(dumpFailure);
}

std::intptr_t TDevaCustomComPort::CompletionParam(const TDevaBaseDispatcher& d) {
  return static_cast<std::intptr_t>(static_cast<std::uint32_t>(d.DispatcherHandle) << 16);
}

void TDevaCustomComPort::LeaveToCompletion() {
  std::vector<MessageWaitWake> wakes;
  {
    std::lock_guard lock(UseLock_);
    Deferred_ = true;
    for (const auto& entry : CloseWaiters_) wakes.push_back(entry.second);
  }
  for (const MessageWaitWake& wake : wakes) wake();  // they now wait for its dispatcher too
}

bool TDevaCustomComPort::DispatcherBusy(TDevaBaseDispatcher& d) {
  // A thread that has passed its end only has its last steps left, which
  // the dispatcher's release waits for.
  if (d.ReadThread || d.WriteThread || d.StatusThread || d.DispatchThread) return true;
  TCriticalSectionGuard lock(d.TriggerLock);
  return d.NotifyBusy != 0;
}

bool TDevaCustomComPort::FinishClose(int OwnUses) {
  {
    std::lock_guard lock(UseLock_);
    if (!Deferred_) return true;
    if (Finishing_) return false;
    const auto own = std::count(Users_.begin(), Users_.end(), std::this_thread::get_id());
    if (static_cast<std::size_t>(own) != Users_.size() || own > OwnUses) return false;
    if (DispatcherBusy(*Dispatcher_)) return false;
    Finishing_ = true;  // no new use from here
  }
  if (Window_) RegisterComPort(false);
  delete Dispatcher_.exchange(nullptr);
  WaitPrepared = false;  // its flag went with the dispatcher
  BusyBeforePrepare = false;
  PortState_ = psClosed;
  Open_ = false;
  std::vector<MessageWaitWake> wakes;
  {
    std::lock_guard lock(UseLock_);
    Deferred_ = false;
    Finishing_ = false;
    for (const auto& entry : CloseWaiters_) wakes.push_back(entry.second);
  }
  for (const MessageWaitWake& wake : wakes) wake();
  return true;
}

void TDevaCustomComPort::ServeOpenRequest() {
  if (PortState_ == psClosed && OpenRequest_.exchange(false)) InitPort();
}

template <typename Done>
void TDevaCustomComPort::AwaitPrim(Done done) {
  // Woken by the end of a use, of a close left to its completion, of a
  // completion elsewhere, and of a notification or the last thread of the
  // dispatcher the completion waits for.
  const MessageWaitWake wake = CallingThreadWake();
  int id;
  {
    std::lock_guard lock(UseLock_);
    id = NextCloseWaiter_++;
    CloseWaiters_.emplace_back(id, wake);
  }
  const TDevaBaseDispatcher* waking = nullptr;
  for (;;) {
    {
      std::lock_guard lock(UseLock_);
      TDevaBaseDispatcher* d = Dispatcher_;
      if (Deferred_ && !Finishing_ && d != waking) {
        d->AddInputWake(wake);  // goes with the dispatcher
        waking = d;
      }
    }
    if (done()) break;
    WaitSentMessages(std::chrono::hours(1));
  }
  std::lock_guard lock(UseLock_);
  std::erase_if(CloseWaiters_, [id](const auto& entry) { return entry.first == id; });
}

void TDevaCustomComPort::AwaitCompletion(int OwnUses) {
  if (!Deferred_) return;
  AwaitPrim([&] { return FinishClose(OwnUses); });
}

void TDevaCustomComPort::AwaitQuiet() {
  AwaitPrim([&] {
    // A close on another thread that has not yet left its completion is waited for too.
    if (!FinishClose(0) || PortState_ == psShuttingDown) return false;
    std::lock_guard lock(UseLock_);
    return Users_.empty();
  });
}

PortUse::PortUse(TDevaCustomComPort& Port) : port_(Port) {
  std::lock_guard lock(port_.UseLock_);
  if (port_.Finishing_) return;
  port_.Users_.push_back(std::this_thread::get_id());
  taken_ = true;
}

PortUse::~PortUse() {
  if (!taken_) return;
  // Nothing of the port is touched once its use has ended (it may be freed at
  // once): what follows works on copies.
  std::vector<MessageWaitWake> wakes;
  WindowHandle window = 0;
  std::intptr_t lParam = 0;
  {
    std::lock_guard lock(port_.UseLock_);
    auto& users = port_.Users_;
    users.erase(std::find(users.begin(), users.end(), std::this_thread::get_id()));
    for (const auto& entry : port_.CloseWaiters_) wakes.push_back(entry.second);
    // The close this use held up is completed from the port's window.
    if (users.empty() && port_.Deferred_ && !port_.Finishing_) {
      window = port_.Window_;
      lParam = TDevaCustomComPort::CompletionParam(*port_.Dispatcher_.load());
    }
  }
  for (const MessageWaitWake& wake : wakes) wake();
  if (window) PostWindowMessage(window, kPortClosingMessage, 0, lParam);
}

bool TDevaCustomComPort::ShuttingDown() {
  if (PortState_ != psShuttingDown) return false;
  if (FinishClose(0)) ServeOpenRequest();
  return PortState_ == psShuttingDown;
}

void TDevaCustomComPort::ForcePortOpen() {
  if (AutoOpen) OpenOnLoad_ = true;
}

void TDevaCustomComPort::Loaded() {
  TDevaBaseComponent::Loaded();
  if (OpenOnLoad_) Open_ = true;
  if (!Open_) return;
  OpenOnLoad_ = false;
  try {
    InitPort();
  } catch (const std::exception& e) {
    Open_ = false;
    Application().ShowException(e);
  }
}
