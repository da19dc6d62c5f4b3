// Line settings, DTR and RTS, modem status, line errors and break.
#include <chrono>
#include <thread>

#include "serial/base/delay.h"
#include "serial/base/result_codes.h"
#include "serial/dispatch/base_dispatcher.h"

std::int32_t TDevaBaseDispatcher::SetLine(std::int32_t Baud, std::uint32_t Parity,
                                          std::int8_t DataBits, std::int8_t StopBits) {
  TCommDcb wanted;
  {
    TCriticalSectionGuard lock(TriggerLock);
    GetComState(PortDCB);
    wanted = PortDCB;
    TCommDcbFlags& f = wanted.Flags;
    f.fBinary = true;
    f.fParity = false;
    f.fDsrSensitivity = false;
    f.fTXContinueOnXoff = true;
    f.fNull = false;
    // Baud 0, parity 5, data bits 9 and stop bits 3 keep the current setting.
    if (Baud != 0) wanted.BaudRate = static_cast<std::uint32_t>(Baud);
    if (Parity != 5) wanted.Parity = static_cast<std::uint8_t>(Parity);
    if (DataBits != 9) wanted.ByteSize = static_cast<std::uint8_t>(DataBits);
    if (DataBits == 5) wanted.StopBits = 1;  // one and a half
    if (StopBits != 3) {
      wanted.StopBits = StopBits <= 1 ? 0 : 2;
      if (wanted.ByteSize == 5) wanted.StopBits = 1;
    }
    if (wanted == PortDCB) return 0;
  }
  WaitTxSent();
  TCriticalSectionGuard lock(TriggerLock);
  GetComState(PortDCB);
  PortDCB.BaudRate = wanted.BaudRate;
  PortDCB.Parity = wanted.Parity;
  PortDCB.ByteSize = wanted.ByteSize;
  PortDCB.StopBits = wanted.StopBits;
  PortDCB.Flags = wanted.Flags;
  return SetCommStateFix(PortDCB);
}

// Lets the bytes already queued leave the line before its settings change.
std::int32_t TDevaBaseDispatcher::WaitTxSent() {
  // The output ring empties into the write thread: wait for that, at most about 10 s.
  constexpr auto kLimit = std::chrono::seconds(10);
  const auto deadline = std::chrono::steady_clock::now() + kLimit;
  while (OutBuffUsed() > 0 && WriteDoneEvent) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || WriteDoneEvent->Wait(static_cast<std::uint32_t>(left.count())) !=
                                 WaitResult::Signaled)
      break;
  }
  std::uint32_t bits, baud;
  {
    TCriticalSectionGuard lock(TriggerLock);
    GetComState(PortDCB);
    bits = PortDCB.ByteSize + 2u + (PortDCB.Parity ? 1u : 0u) + (PortDCB.StopBits ? 1u : 0u);
    baud = BaudLookup(CurrentBaud);
  }
  if (baud == 0) return 0;  // no rate, no character time to wait for
  // 18 character times in units of 100 ns (36 when that is under 1 ms).
  std::uint64_t t = (10000000u / baud) * bits * 18u;
  if (t < 10000) t *= 2;
  std::this_thread::sleep_for(std::chrono::milliseconds(t / 10000 + (t % 10000 ? 1 : 0)));
  return 0;
}

std::uint32_t TDevaBaseDispatcher::BaudLookup(std::uint32_t Baud) {
  // The old driver's baud index codes.
  switch (Baud) {
    case 0xFEFF: return 115200;
    case 0xFF10: return 110;
    case 0xFF11: return 300;
    case 0xFF12: return 600;
    case 0xFF13: return 1200;
    case 0xFF14: return 2400;
    case 0xFF15: return 4800;
    case 0xFF16: return 9600;
    case 0xFF17: return 14400;
    case 0xFF18: return 19200;
    case 0xFF1B: return 38400;
    case 0xFF1F: return 56000;
    case 0xFF23: return 128000;
    case 0xFF27: return 256000;
    default: return Baud;
  }
}

void TDevaBaseDispatcher::GetLine(std::int32_t& Baud, std::uint16_t& Parity, std::int8_t& DataBits,
                                  std::int8_t& StopBits) {
  TCriticalSectionGuard lock(TriggerLock);
  GetComState(PortDCB);
  Baud = static_cast<std::int32_t>(BaudLookup(PortDCB.BaudRate));
  Parity = PortDCB.Parity;
  DataBits = static_cast<std::int8_t>(PortDCB.ByteSize);
  StopBits = PortDCB.StopBits == 0 ? 1 : 2;
}

std::int32_t TDevaBaseDispatcher::SetCommStateFix(TCommDcb& DCB) {
  TCriticalSectionGuard lock(TriggerLock);
  if (!DtrByDriver) DCB.Flags.fDtrControl = DtrRaised ? kDtrControlEnable : kDtrControlDisable;
  if (!RtsByDriver) DCB.Flags.fRtsControl = RtsRaised ? kRtsControlEnable : kRtsControlDisable;
  const std::int32_t result = SetComState(DCB);
  CurrentBaud = DCB.BaudRate;
  SetDtr(DtrRaised);
  if (!RS485Mode) SetRts(RtsRaised);
  return result;
}

std::int32_t TDevaBaseDispatcher::SetDtr(bool Raise) {
  if (DtrByDriver) return 1;
  const std::int32_t r = EscapeComFunction(static_cast<std::int32_t>(Raise ? kEscSetDtr : kEscClrDtr));
  DtrRaised = Raise;
  return r < 0 ? ecBadArgument : r;
}

std::int32_t TDevaBaseDispatcher::SetRts(bool Raise) {
  if (RtsByDriver) return 1;
  const std::int32_t r = EscapeComFunction(static_cast<std::int32_t>(Raise ? kEscSetRts : kEscClrRts));
  RtsRaised = Raise;
  return r < 0 ? ecBadArgument : r;
}

std::int32_t TDevaBaseDispatcher::SetModem(bool DTR, bool RTS) {
  if (const std::int32_t r = SetDtr(DTR); r != 0) return r;
  return SetRts(RTS);
}

std::uint8_t TDevaBaseDispatcher::GetModemStatusPrim(std::uint8_t ClearMask) {
  std::uint32_t lines = 0;
  if (GetComModemStatus(lines) < 0) lines = 0;  // read before the lock: it asks the device
  TCriticalSectionGuard lock(TriggerLock);
  ModemStatusShadow = (lines & 0xF0) | (ModemStatusShadow & 0x0F);  // the deltas survive
  if (RingPending.exchange(false)) ModemStatusShadow |= kDeltaRi;
  const auto result = static_cast<std::uint8_t>(ModemStatusShadow & 0xFF);
  ModemStatusShadow &= ClearMask;
  return result;
}

std::uint8_t TDevaBaseDispatcher::GetModemStatus() { return GetModemStatusPrim(0xF0); }
bool TDevaBaseDispatcher::CheckCTS() { return GetModemStatusPrim(0xFE) & kMsCtsOn; }
bool TDevaBaseDispatcher::CheckDSR() { return GetModemStatusPrim(0xFD) & kMsDsrOn; }
bool TDevaBaseDispatcher::CheckRI() { return GetModemStatusPrim(0xFB) & kMsRingOn; }
bool TDevaBaseDispatcher::CheckDCD() { return GetModemStatusPrim(0xF7) & kMsRlsdOn; }
bool TDevaBaseDispatcher::CheckDeltaCTS() { return GetModemStatusPrim(0xFE) & kDeltaCts; }
bool TDevaBaseDispatcher::CheckDeltaDSR() { return GetModemStatusPrim(0xFD) & kDeltaDsr; }
bool TDevaBaseDispatcher::CheckDeltaRI() { return GetModemStatusPrim(0xFB) & kDeltaRi; }
bool TDevaBaseDispatcher::CheckDeltaDCD() { return GetModemStatusPrim(0xF7) & kDeltaDcd; }

void TDevaBaseDispatcher::MapEventsToMS(std::int32_t) {
  std::uint32_t old;
  {
    TCriticalSectionGuard lock(TriggerLock);
    old = ModemStatusShadow & 0xFF;
  }
  GetModemStatusPrim(0xFF);
  // Each line that changed sets its delta bit.
  TCriticalSectionGuard lock(TriggerLock);
  ModemStatusShadow |= ((ModemStatusShadow ^ old) & 0xF0) >> 4;
}

std::int32_t TDevaBaseDispatcher::RefreshStatus() {
  TCriticalSectionGuard lock(OutputLock);  // LastComStat is shared with the output counts
  const std::int32_t errors = GetComError(LastComStat) & static_cast<std::int32_t>(kCeLineErrors);
  LineErrors |= errors;
  return errors;
}

std::int32_t TDevaBaseDispatcher::GetLineError() {
  TCriticalSectionGuard lock(TriggerLock);
  std::int32_t errors = LineErrors;
  for (;;) {
    std::int32_t result, after;
    if (errors == -1) {
      result = 10;  // an I/O thread failed
      after = 0;
    } else {
      constexpr std::pair<std::int32_t, std::int32_t> kOrder[] = {
          {kCeRxOver, 1}, {kCeOverrun, 2}, {kCeRxParity, 3}, {kCeFrame, 4}, {kCeBreak, 9}};
      result = 0;
      for (const auto& [bit, code] : kOrder)
        if (errors & bit) {
          result = code;
          break;
        }
      if (result == 0) return 0;
      after = errors & ~0x0F;  // a break stays for CheckLineBreak
    }
    // RefreshStatus may OR in new errors meanwhile; they are kept.
    if (LineErrors.compare_exchange_weak(errors, after)) return result;
  }
}

bool TDevaBaseDispatcher::CheckLineBreak() {
  TCriticalSectionGuard lock(TriggerLock);
  std::int32_t errors = LineErrors;
  // A failed thread's mark is not a break, and stays for GetLineError.
  while (errors != -1 && !LineErrors.compare_exchange_weak(errors, errors & ~static_cast<std::int32_t>(kCeBreak))) {
  }
  return errors != -1 && (errors & kCeBreak);
}

void TDevaBaseDispatcher::SendBreak(std::uint32_t Ticks, bool Yield) {
  if (RS485Mode) SetRts(true);
  EscapeComFunction(kEscSetBreak);
  DelayTicks(static_cast<std::int32_t>(Ticks), Yield);
  EscapeComFunction(kEscClrBreak);
  if (RS485Mode && OutBuffUsed() == 0) SetRts(false);
}

void TDevaBaseDispatcher::SetBreak(bool On) {
  if (On) {
    if (RS485Mode) SetRts(true);
    EscapeComFunction(kEscSetBreak);
  } else {
    EscapeComFunction(kEscClrBreak);
    if (RS485Mode && OutBuffUsed() == 0) SetRts(false);
  }
}
