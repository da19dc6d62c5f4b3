// The port component's forwarders to its dispatcher: input and output,
// triggers, the line trace and the dispatch log. While the port closes they
// return at once with a neutral result.
#include <string>

#include "serial/base/result_codes.h"
#include "serial/port/com_port.h"
#include "serial/port/com_port_use.h"

namespace {

// File names and trigger texts are handed over as short strings.
std::string ShortString(std::string_view s) { return std::string(s.substr(0, 255)); }

}  // namespace

void TDevaCustomComPort::PutString(std::string_view S) {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.PutString(S)); });
}

std::int32_t TDevaCustomComPort::PutBlock(std::span<const char> Block) {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.PutBlock(Block)); });
  return 0;
}

void TDevaCustomComPort::PutChar(char C) {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.PutChar(C)); });
}

bool TDevaCustomComPort::CharReady() {
  return Use(false, [](TDevaBaseDispatcher& d) { return d.CharReady(); });
}

char TDevaCustomComPort::GetChar() {
  return Use('\0', [&](TDevaBaseDispatcher& d) {
    char c = 0;
    return Check(d.GetChar(c)) == 0 ? c : '\0';
  });
}

char TDevaCustomComPort::PeekChar(std::uint16_t Count) {
  return Use('\0', [&](TDevaBaseDispatcher& d) {
    char c = 0;
    return Check(d.PeekChar(c, Count)) == 0 ? c : '\0';
  });
}

void TDevaCustomComPort::GetBlock(std::span<char> Block) {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.GetBlock(Block)); });
}

void TDevaCustomComPort::PeekBlock(std::span<char> Block) {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.PeekBlock(Block)); });
}

void TDevaCustomComPort::FlushInBuffer() {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.FlushInBuffer()); });
}

void TDevaCustomComPort::FlushOutBuffer() {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.FlushOutBuffer()); });
}

void TDevaCustomComPort::ProcessCommunications() {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.ProcessCommunications()); });
}

void TDevaCustomComPort::SendBreak(std::uint16_t Ticks, bool Yield) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.SendBreak(Ticks, Yield);
    return 0;
  });
}

void TDevaCustomComPort::SetBreak(bool BreakOn) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.SetBreak(BreakOn);
    return 0;
  });
}

std::int32_t TDevaCustomComPort::GetLastWinError() {
  // Also while the port closes: the failure that closed it is the one asked for.
  PortUse use(*this);
  if (!use) return 0;
  return static_cast<std::int32_t>(ValidDispatcher().LastThreadError.load());
}

std::int32_t TDevaCustomComPort::AddDataTrigger(std::string_view Data, bool IgnoreCase) {
  const std::string data = ShortString(Data);
  return Use(0, [&](TDevaBaseDispatcher& d) {
    return Check(d.AddDataTriggerLen(data.c_str(), IgnoreCase, static_cast<std::uint32_t>(data.size())));
  });
}

std::int32_t TDevaCustomComPort::AddTimerTrigger() {
  return Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.AddTimerTrigger()); });
}

std::int32_t TDevaCustomComPort::AddStatusTrigger(std::uint16_t SType) {
  return Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.AddStatusTrigger(SType)); });
}

void TDevaCustomComPort::SetTimerTrigger(std::int32_t Handle, std::int32_t Ticks, bool Activate) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    return Check(d.SetTimerTrigger(static_cast<std::uint32_t>(Handle), Ticks, Activate));
  });
}

void TDevaCustomComPort::SetStatusTrigger(std::int32_t Handle, std::uint16_t Value, bool Activate) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    return Check(d.SetStatusTrigger(static_cast<std::uint32_t>(Handle), Value, Activate));
  });
}

void TDevaCustomComPort::RemoveTrigger(std::int32_t Handle) {
  WhileOpen([&](TDevaBaseDispatcher& d) { Check(d.RemoveTrigger(static_cast<std::uint32_t>(Handle))); });
}

void TDevaCustomComPort::RemoveAllTriggers() {
  WhileOpen([&](TDevaBaseDispatcher& d) {
    d.RemoveAllTriggers();
    TriggerLength_ = 0;
  });
}

// A state changes only once the dispatcher call returned.

void TDevaCustomComPort::InitTracing(std::uint32_t Size) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    if (Size != 0) TraceSize_ = Size;
    Check(d.InitTracing(TraceSize_));
    Tracing_ = tlOn;
    return 0;
  });
}

void TDevaCustomComPort::DumpTrace(std::string_view FName, bool InHex) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    Check(d.DumpTrace(ShortString(FName).c_str(), InHex, TraceAllHex));
    Tracing_ = tlOff;
    return 0;
  });
}

void TDevaCustomComPort::AppendTrace(std::string_view FName, bool InHex, TTraceLogState NewState) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    Check(d.AppendTrace(ShortString(FName).c_str(), InHex, TraceAllHex));
    Tracing_ = NewState;
    return 0;
  });
}

void TDevaCustomComPort::ClearTracing() {
  Use(0, [&](TDevaBaseDispatcher& d) { return Check(d.ClearTracing()); });
}

void TDevaCustomComPort::AbortTracing() {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.AbortTracing();
    Tracing_ = tlOff;
    return 0;
  });
}

void TDevaCustomComPort::StartTracing() {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.StartTracing();
    Tracing_ = tlOn;
    return 0;
  });
}

void TDevaCustomComPort::StopTracing() {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.StopTracing();
    Tracing_ = tlPause;
    return 0;
  });
}

void TDevaCustomComPort::AddTraceEntry(char CurEntry, char CurCh) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.AddTraceEntry(CurEntry, static_cast<std::uint8_t>(CurCh));
    return 0;
  });
}

void TDevaCustomComPort::InitLogging(std::uint32_t Size) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    if (Size != 0) LogSize_ = Size;
    d.InitDispatchLogging(LogSize_);
    Logging_ = tlOn;
    return 0;
  });
}

void TDevaCustomComPort::DumpLog(std::string_view FName, bool InHex) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    Check(d.DumpDispatchLog(ShortString(FName).c_str(), InHex, LogAllHex));
    Logging_ = tlOff;
    return 0;
  });
}

void TDevaCustomComPort::AppendLog(std::string_view FName, bool InHex, TTraceLogState NewState) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    Check(d.AppendDispatchLog(ShortString(FName).c_str(), InHex, LogAllHex));
    Logging_ = NewState;
    return 0;
  });
}

void TDevaCustomComPort::ClearLogging() {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.ClearDispatchLogging();
    return 0;
  });
}

void TDevaCustomComPort::AbortLogging() {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.AbortDispatchLogging();
    Logging_ = tlOff;
    return 0;
  });
}

void TDevaCustomComPort::StartLogging() {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.StartDispatchLogging();
    Logging_ = tlOn;
    return 0;
  });
}

void TDevaCustomComPort::StopLogging() {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.StopDispatchLogging();
    Logging_ = tlPause;
    return 0;
  });
}

void TDevaCustomComPort::AddStringToLog(std::string_view S) {
  Use(0, [&](TDevaBaseDispatcher& d) {
    d.AddStringToLog(S);
    return 0;
  });
}
