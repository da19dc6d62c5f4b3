// The port component's properties: what each write does closed, open or
// forced, the flow-control thresholds, and the values read back.
#include <algorithm>
#include <utility>

#include "serial/base/deva_exceptions.h"
#include "serial/base/result_codes.h"
#include "serial/port/com_port.h"
#include "serial/port/com_port_use.h"

namespace {

constexpr std::uint32_t kMaxTraceSize = 4000000;
constexpr std::uint32_t kMaxLogSize = 16000000;

// The fraction of a size, its remainder dropped.
std::uint16_t Percent(std::uint16_t size, unsigned percent) {
  return static_cast<std::uint16_t>(std::uint32_t{size} * percent / 100);
}

std::uint32_t SWOptionWord(TSWFlowOptions options) {
  switch (options) {
    case swfNone: return 0;
    case swfReceive: return kSwfReceive;
    case swfTransmit: return kSwfTransmit;
    case swfBoth: return kSwfReceive | kSwfTransmit;
  }
  return 0;
}

}  // namespace

// The trace and the dispatch log are switched alike, each by its own operations.
struct TDevaCustomComPort::TraceLogOps {
  TTraceLogState TDevaCustomComPort::*State;
  std::uint32_t TDevaCustomComPort::*Size;
  std::uint32_t MaxSize;
  std::string TDevaCustomComPort::*Name;
  bool TDevaCustomComPort::*Hex;
  void (TDevaCustomComPort::*Init)(std::uint32_t);
  void (TDevaCustomComPort::*Start)();
  void (TDevaCustomComPort::*Stop)();
  void (TDevaCustomComPort::*Abort)();
  void (TDevaCustomComPort::*Clear)();
  void (TDevaCustomComPort::*Dump)(std::string_view, bool);
  void (TDevaCustomComPort::*Append)(std::string_view, bool, TTraceLogState);
};

const TDevaCustomComPort::TraceLogOps& TDevaCustomComPort::TraceOps() {
  static const TraceLogOps ops{&TDevaCustomComPort::Tracing_,      &TDevaCustomComPort::TraceSize_,
                               kMaxTraceSize,                      &TDevaCustomComPort::TraceName,
                               &TDevaCustomComPort::TraceHex,      &TDevaCustomComPort::InitTracing,
                               &TDevaCustomComPort::StartTracing,  &TDevaCustomComPort::StopTracing,
                               &TDevaCustomComPort::AbortTracing,  &TDevaCustomComPort::ClearTracing,
                               &TDevaCustomComPort::DumpTrace,     &TDevaCustomComPort::AppendTrace};
  return ops;
}

const TDevaCustomComPort::TraceLogOps& TDevaCustomComPort::LogOps() {
  static const TraceLogOps ops{&TDevaCustomComPort::Logging_,      &TDevaCustomComPort::LogSize_,
                               kMaxLogSize,                        &TDevaCustomComPort::LogName,
                               &TDevaCustomComPort::LogHex,        &TDevaCustomComPort::InitLogging,
                               &TDevaCustomComPort::StartLogging,  &TDevaCustomComPort::StopLogging,
                               &TDevaCustomComPort::AbortLogging,  &TDevaCustomComPort::ClearLogging,
                               &TDevaCustomComPort::DumpLog,       &TDevaCustomComPort::AppendLog};
  return ops;
}

std::int32_t TDevaCustomComPort::Check(std::int32_t Code) const { return CheckException(this, Code); }

TDevaBaseDispatcher* TDevaCustomComPort::GetDispatcher() {
  if (!Dispatcher_ && !IsLoading() && PortState_ != psOpen && AutoOpen) SetOpen(true);
  return Dispatcher_;
}

TDevaBaseDispatcher& TDevaCustomComPort::ValidDispatcher() {
  TDevaBaseDispatcher* d = GetDispatcher();
  if (!d) throw ECommNotOpen(ecCommNotOpen);
  return *d;
}

void TDevaCustomComPort::SetDeviceLayer(TDeviceLayer Value) {
  if (Value == DeviceLayer_ || PortState_ != psClosed) return;
  if (Value > 7 || !AllowedDeviceLayers.Contains(Value)) return;
  DeviceLayer_ = Value;
  DeviceLayerChanged();
}

void TDevaCustomComPort::SetComNumber(std::uint16_t Value) {
  if (Value == ComNumber_) return;
  if (PortState_ != psOpen) {
    ComNumber_ = Value;
    return;
  }
  // Closed and opened again on the new number. The close keeps the triggers
  // for the next open; when it is left to complete later, the open is asked
  // for, to follow it, instead of being dropped.
  const TTraceLogState tracing = Tracing_;
  const TTraceLogState logging = Logging_;
  SetOpen(false);
  ComNumber_ = Value;
  SetTracing(tracing);
  SetLogging(logging);
  if (PortState_ == psClosed)
    SetOpen(true);
  else
    OpenRequest_ = true;
}

void TDevaCustomComPort::ApplyLine() {
  WhileOpen([&](TDevaBaseDispatcher& d) {
    Check(d.SetLine(Baud_, Parity_, static_cast<std::int8_t>(DataBits_), static_cast<std::int8_t>(StopBits_)));
  });
}

void TDevaCustomComPort::SetBaud(std::int32_t Value) {
  if (Value == Baud_) return;
  Baud_ = Value;
  ApplyLine();
}

void TDevaCustomComPort::SetParity(TParity Value) {
  if (Value == Parity_) return;
  Parity_ = Value;
  ApplyLine();
}

void TDevaCustomComPort::SetDatabits(std::uint16_t Value) {
  if (Value == DataBits_) return;
  DataBits_ = Value;
  ApplyLine();
}

void TDevaCustomComPort::SetStopbits(std::uint16_t Value) {
  if (Value == StopBits_) return;
  StopBits_ = Value;
  ApplyLine();
}

void TDevaCustomComPort::SetInSize(std::uint16_t Value) {
  if (Value == InSize_) return;
  InSize_ = Value;
  WhileOpen([&](TDevaBaseDispatcher& d) { d.SetCommBuffers(InSize_, OutSize_); });
}

void TDevaCustomComPort::SetOutSize(std::uint16_t Value) {
  if (Value == OutSize_) return;
  OutSize_ = Value;
  WhileOpen([&](TDevaBaseDispatcher& d) { d.SetCommBuffers(InSize_, OutSize_); });
}

void TDevaCustomComPort::SetDTR(bool Value) {
  if (Value == DTR_ && !Force_) return;
  // Open, the value is kept only once the line took it.
  if (!WhileOpen([&](TDevaBaseDispatcher& d) {
        if (Check(d.SetDtr(Value)) == 0) DTR_ = Value;
      }))
    DTR_ = Value;
}

void TDevaCustomComPort::SetRTS(bool Value) {
  if (Value == RTS_ && !Force_) return;
  if (!WhileOpen([&](TDevaBaseDispatcher& d) {
        if (Check(d.SetRts(Value)) == 0) RTS_ = Value;
      }))
    RTS_ = Value;
}

void TDevaCustomComPort::SetHWFlowOptions(THWFlowOptionSet Value) {
  if (Value == HWFlowOptions_ && !Force_) return;
  const std::uint32_t word = Value.Bits();  // DTR 1, RTS 2, DSR 4, CTS 8
  if (word != 0) {
    if (BufferFull_ == 0 || BufferFull_ > InSize_) BufferFull_ = Percent(InSize_, 90);
    if (BufferResume_ == 0 || BufferResume_ > BufferFull_) BufferResume_ = Percent(InSize_, 10);
  }
  WhileOpen([&](TDevaBaseDispatcher& d) { Check(d.HWFlowOptions(BufferFull_, BufferResume_, word)); });
  HWFlowOptions_ = Value;
  // RTS cannot be both the handshake line and the RS485 direction line.
  if (Value.Contains(hwfUseRTS) || Value.Contains(hwfRequireCTS)) SetRS485Mode(false);
}

void TDevaCustomComPort::SetSWFlowOptions(TSWFlowOptions Value) {
  if (Value == SWFlowOptions_ && !Force_) return;
  const std::uint32_t word = SWOptionWord(Value);
  if (word != 0) {
    if (BufferFull_ == 0 || BufferFull_ > InSize_) BufferFull_ = Percent(InSize_, 75);
    if (BufferResume_ == 0 || BufferResume_ > BufferFull_) BufferResume_ = Percent(InSize_, 25);
  }
  WhileOpen([&](TDevaBaseDispatcher& d) {
    Check(word != 0 ? d.SWFlowEnable(BufferFull_, BufferResume_, word) : d.SWFlowDisable());
  });
  SWFlowOptions_ = Value;
}

void TDevaCustomComPort::SetXonChar(char Value) {
  if (Value == XOnChar_ && !Force_) return;
  XOnChar_ = Value;
  WhileOpen([&](TDevaBaseDispatcher& d) { Check(d.SWFlowChars(XOnChar_, XOffChar_)); });
}

void TDevaCustomComPort::SetXoffChar(char Value) {
  if (Value == XOffChar_ && !Force_) return;
  XOffChar_ = Value;
  WhileOpen([&](TDevaBaseDispatcher& d) { Check(d.SWFlowChars(XOnChar_, XOffChar_)); });
}

void TDevaCustomComPort::Forced(const std::function<void()>& Apply) {
  const bool force = std::exchange(Force_, true);
  try {
    Apply();
  } catch (...) {
    Force_ = force;
    throw;
  }
  Force_ = force;
}

void TDevaCustomComPort::ReapplyFlow() {
  // Forced, so that the threshold reaches an open port at once and is derived
  // again where the flow control in force needs another.
  Forced([this] {
    SetHWFlowOptions(HWFlowOptions_);
    SetSWFlowOptions(SWFlowOptions_);
  });
}

void TDevaCustomComPort::SetBufferFull(std::uint16_t Value) {
  if (Value == BufferFull_ && !Force_) return;
  BufferFull_ = Value <= InSize_ ? Value : Percent(InSize_, 90);
  ReapplyFlow();
}

void TDevaCustomComPort::SetBufferResume(std::uint16_t Value) {
  if (Value == BufferResume_ && !Force_) return;
  BufferResume_ = Value <= BufferFull_ ? Value : Percent(BufferFull_, 10);
  ReapplyFlow();
}

void TDevaCustomComPort::SetTraceLog(const TraceLogOps& Ops, TTraceLogState Value) {
  TTraceLogState& state = this->*Ops.State;
  if (Value == state && !Force_) return;
  // Closed, only "on" is kept: the open switches it on.
  if (PortState_ != psOpen) {
    state = Value == tlOn ? tlOn : tlOff;
    return;
  }
  const TTraceLogState current = state;
  const bool active = current == tlOn || current == tlPause;
  const std::string& name = this->*Ops.Name;
  const bool hex = this->*Ops.Hex;
  switch (Value) {
    case tlOff:
      if (active) (this->*Ops.Abort)();
      break;
    case tlOn:
      if (current == tlPause)
        (this->*Ops.Start)();
      else
        (this->*Ops.Init)(this->*Ops.Size);
      break;
    case tlDump:
      if (!active) break;
      (this->*Ops.Start)();
      (this->*Ops.Dump)(name, hex);
      break;
    case tlAppend:
    case tlAppendAndContinue:
      if (!active) break;
      (this->*Ops.Start)();
      (this->*Ops.Append)(name, hex, Value == tlAppend ? tlOff : current);
      break;
    case tlClear:
      if (active) (this->*Ops.Clear)();
      break;
    case tlPause:
      if (current == tlOn) (this->*Ops.Stop)();
      break;
  }
}

void TDevaCustomComPort::SetTraceLogSize(const TraceLogOps& Ops, std::uint32_t Value) {
  std::uint32_t& size = this->*Ops.Size;
  if (Value == size) return;
  size = std::min(Value, Ops.MaxSize);
  const TTraceLogState current = this->*Ops.State;
  if (PortState_ != psOpen || (current != tlOn && current != tlPause)) return;
  // A running record keeps its size: it starts again with the new one.
  (this->*Ops.Abort)();
  SetTraceLog(Ops, current);
}

void TDevaCustomComPort::SetTracing(TTraceLogState Value) { SetTraceLog(TraceOps(), Value); }
void TDevaCustomComPort::SetLogging(TTraceLogState Value) { SetTraceLog(LogOps(), Value); }
void TDevaCustomComPort::SetTraceSize(std::uint32_t Value) { SetTraceLogSize(TraceOps(), Value); }
void TDevaCustomComPort::SetLogSize(std::uint32_t Value) { SetTraceLogSize(LogOps(), Value); }

void TDevaCustomComPort::SetUseMSRShadow(bool) {}

void TDevaCustomComPort::SetUseEventWord(bool Value) {
  if (Value == UseEventWord_ && !Force_) return;
  UseEventWord_ = Value;
  WhileOpen([&](TDevaBaseDispatcher& d) { Value ? d.OptionsOn(4) : d.OptionsOff(4); });
}

void TDevaCustomComPort::SetCommNotificationLevel(std::uint16_t Value) {
  if (Value == CommNotificationLevel_ && !Force_) return;
  CommNotificationLevel_ = Value;
}

void TDevaCustomComPort::SetRS485Mode(bool Value) {
  if (Value == RS485Mode_ && !Force_) return;
  RS485Mode_ = Value;
  WhileOpen([&](TDevaBaseDispatcher& d) { d.SetRS485Mode(Value); });
  if (!Value) return;
  SetHWFlowOptions(HWFlowOptions_.Without(hwfUseRTS).Without(hwfRequireCTS));
  SetRTS(false);
}

void TDevaCustomComPort::SetThreadBoost(TApThreadBoost Value) {
  if (Value == ThreadBoost_ && !Force_) return;
  ThreadBoost_ = Value;
  WhileOpen([&](TDevaBaseDispatcher& d) { d.SetThreadBoost(Value); });
}

void TDevaCustomComPort::SetTriggerLength(std::uint16_t Value) {
  if (Value == TriggerLength_ && !Force_) return;
  TriggerLength_ = Value;
  WhileOpen([&](TDevaBaseDispatcher& d) { d.ChangeLengthTrigger(Value); });
}

void TDevaCustomComPort::SetBaseAddress(std::uint16_t Value) {
  if (Value == GetBaseAddress() && !Force_) return;
  WhileOpen([&](TDevaBaseDispatcher& d) { d.SetBaseAddress(Value); });
}

template <typename R>
R TDevaCustomComPort::WhileOpenOr(R Closed, R (TDevaBaseDispatcher::*Get)()) {
  R value = Closed;
  WhileOpen([&](TDevaBaseDispatcher& d) { value = (d.*Get)(); });
  return value;
}

bool TDevaCustomComPort::GetDSR() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckDSR); }
bool TDevaCustomComPort::GetCTS() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckCTS); }
bool TDevaCustomComPort::GetRI() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckRI); }
bool TDevaCustomComPort::GetDCD() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckDCD); }
bool TDevaCustomComPort::GetDeltaDSR() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckDeltaDSR); }
bool TDevaCustomComPort::GetDeltaCTS() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckDeltaCTS); }
bool TDevaCustomComPort::GetDeltaRI() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckDeltaRI); }
bool TDevaCustomComPort::GetDeltaDCD() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckDeltaDCD); }
bool TDevaCustomComPort::GetLineBreak() { return WhileOpenOr(false, &TDevaBaseDispatcher::CheckLineBreak); }
std::int32_t TDevaCustomComPort::GetLineError() { return Check(WhileOpenOr(0, &TDevaBaseDispatcher::GetLineError)); }
std::uint32_t TDevaCustomComPort::GetInBuffUsed() { return WhileOpenOr(0u, &TDevaBaseDispatcher::InBuffUsed); }
std::uint32_t TDevaCustomComPort::GetInBuffFree() { return WhileOpenOr(kInRingSize, &TDevaBaseDispatcher::InBuffFree); }
std::uint32_t TDevaCustomComPort::GetOutBuffUsed() { return WhileOpenOr(0u, &TDevaBaseDispatcher::OutBuffUsed); }
std::uint32_t TDevaCustomComPort::GetOutBuffFree() {
  return WhileOpenOr(std::uint32_t{OutSize_}, &TDevaBaseDispatcher::OutBuffFree);
}
std::uint16_t TDevaCustomComPort::GetBaseAddress() {
  return WhileOpenOr(std::uint16_t{0}, &TDevaBaseDispatcher::GetBaseAddress);
}

std::uint8_t TDevaCustomComPort::GetModemStatus() {
  // A closed port is opened for it (AutoOpen), or raises -2007.
  return Use(std::uint8_t{0}, [](TDevaBaseDispatcher& d) { return d.GetModemStatus(); });
}

TFlowControlState TDevaCustomComPort::GetFlowState() {
  return Use(fcOff, [&](TDevaBaseDispatcher& d) {
    const auto hardware = static_cast<TFlowControlState>(Check(d.HWFlowState()) - 1);
    if (hardware != fcOff) return hardware;
    return static_cast<TFlowControlState>(Check(d.SWFlowState()) - 1);
  });
}

void TDevaCustomComPort::UpdateHandlerFlag() {
  const bool wanted = OnTrigger_ || OnTriggerAvail_ || OnTriggerData_ || OnTriggerStatus_ || OnTriggerTimer_ ||
                      OnTriggerLineError_ || OnTriggerModemStatus_ || OnTriggerOutbuffFree_ ||
                      OnTriggerOutbuffUsed_ || OnTriggerOutSent_;
  WhileOpen([&](TDevaBaseDispatcher& d) { d.UpdateHandlerFlags(wanted ? fuEnablePort : fuDisablePort); });
}

#define TRELM_EVENT_SETTER(Name, Type)                   \
  void TDevaCustomComPort::Set##Name(Type Value) {       \
    Name##_ = std::move(Value);                          \
    UpdateHandlerFlag();                                 \
  }
TRELM_EVENT_SETTER(OnTrigger, TTriggerEvent)
TRELM_EVENT_SETTER(OnTriggerAvail, TTriggerAvailEvent)
TRELM_EVENT_SETTER(OnTriggerData, TTriggerDataEvent)
TRELM_EVENT_SETTER(OnTriggerStatus, TTriggerStatusEvent)
TRELM_EVENT_SETTER(OnTriggerTimer, TTriggerTimerEvent)
TRELM_EVENT_SETTER(OnTriggerLineError, TTriggerLineErrorEvent)
TRELM_EVENT_SETTER(OnTriggerModemStatus, TNotifyEvent)
TRELM_EVENT_SETTER(OnTriggerOutbuffFree, TNotifyEvent)
TRELM_EVENT_SETTER(OnTriggerOutbuffUsed, TNotifyEvent)
TRELM_EVENT_SETTER(OnTriggerOutSent, TNotifyEvent)
#undef TRELM_EVENT_SETTER
