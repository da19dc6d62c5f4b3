// Hardware and software flow control.
#include "serial/base/result_codes.h"
#include "serial/dispatch/base_dispatcher.h"

namespace {

// XOFF when the input has no more than BufferFull free, XON when it is down to BufferResume.
bool BadThresholds(std::uint32_t full, std::uint32_t resume, std::uint32_t inQueueSize) {
  return full < resume || full > inQueueSize;
}

constexpr char kXon = 17;
constexpr char kXoff = 19;

}  // namespace

std::int32_t TDevaBaseDispatcher::HWFlowOptions(std::uint32_t BufferFull, std::uint32_t BufferResume,
                                                std::uint32_t Options) {
  if (BadThresholds(BufferFull, BufferResume, InQueueSize)) return ecBadArgument;
  TCriticalSectionGuard lock(TriggerLock);
  GetComState(PortDCB);
  TCommDcbFlags& f = PortDCB.Flags;
  f.fOutxCtsFlow = f.fOutxDsrFlow = false;
  DtrByDriver = RtsByDriver = false;
  if (Options & kHwfUseDtr) {
    f.fDtrControl = kDtrControlHandshake;
    DtrByDriver = true;
  } else {
    f.fDtrControl = DtrRaised ? kDtrControlEnable : kDtrControlDisable;
  }
  if (Options & kHwfUseRts) {
    f.fRtsControl = kRtsControlHandshake;
    RtsByDriver = true;
  } else {
    f.fRtsControl = RtsRaised ? kRtsControlEnable : kRtsControlDisable;
  }
  if (RS485Mode) {  // the driver raises RTS while it sends
    f.fRtsControl = kRtsControlToggle;
    RtsByDriver = true;
  }
  PortDCB.XoffLim = static_cast<std::uint16_t>(InQueueSize - BufferFull);
  PortDCB.XonLim = static_cast<std::uint16_t>(BufferResume);
  if (Options & kHwfRequireDsr) f.fOutxDsrFlow = true;
  if (Options & kHwfRequireCts) f.fOutxCtsFlow = true;
  return SetCommStateFix(PortDCB);
}

std::int32_t TDevaBaseDispatcher::HWFlowState() {
  TCriticalSectionGuard lock(TriggerLock);
  const TCommDcbFlags& f = PortDCB.Flags;
  const bool dtrHandshake = f.fDtrControl == kDtrControlHandshake;
  const bool rtsHandshake = f.fRtsControl == kRtsControlHandshake;
  if (!f.fOutxCtsFlow && !f.fOutxDsrFlow && !dtrHandshake && !rtsHandshake) return fcOff + 1;
  if (!dtrHandshake && !rtsHandshake) return fcOn + 1;
  TCriticalSectionGuard output(OutputLock);
  RefreshStatus();
  if (f.fOutxCtsFlow && (LastComStat.Flags & kCtsHold)) return fcCtsHold + 1;
  if (f.fOutxDsrFlow && (LastComStat.Flags & kDsrHold)) return fcDsrHold + 1;
  return fcOn + 1;
}

std::int32_t TDevaBaseDispatcher::SWFlowEnable(std::uint32_t BufferFull, std::uint32_t BufferResume,
                                               std::uint32_t Options) {
  if (BadThresholds(BufferFull, BufferResume, InQueueSize)) return ecBadArgument;
  TCriticalSectionGuard lock(TriggerLock);
  GetComState(PortDCB);
  if (Options & kSwfReceive) {
    PortDCB.Flags.fInX = true;
    PortDCB.XoffLim = static_cast<std::uint16_t>(InQueueSize - BufferFull);
    PortDCB.XonLim = static_cast<std::uint16_t>(BufferResume);
    PortDCB.XonChar = kXon;
    PortDCB.XoffChar = kXoff;
  }
  if (Options & kSwfTransmit) {
    PortDCB.Flags.fOutX = true;
    PortDCB.XonChar = kXon;
    PortDCB.XoffChar = kXoff;
  }
  return SetCommStateFix(PortDCB);
}

std::int32_t TDevaBaseDispatcher::SWFlowDisable() {
  TCriticalSectionGuard lock(TriggerLock);
  PortDCB.Flags.fOutX = PortDCB.Flags.fInX = false;
  return SetCommStateFix(PortDCB);
}

std::int32_t TDevaBaseDispatcher::SWFlowState() {
  TCriticalSectionGuard lock(TriggerLock);
  if (!PortDCB.Flags.fInX && !PortDCB.Flags.fOutX) return fcOff + 1;
  TCriticalSectionGuard output(OutputLock);
  RefreshStatus();
  const bool sent = LastComStat.Flags & kXoffSent;
  const bool held = LastComStat.Flags & kXoffHold;
  if (sent && held) return fcXBothHold + 1;
  if (sent) return fcXInHold + 1;
  if (held) return fcXOutHold + 1;
  return fcOn + 1;
}

std::int32_t TDevaBaseDispatcher::SWFlowChars(char XOn, char XOff) {
  TCriticalSectionGuard lock(TriggerLock);
  PortDCB.XonChar = XOn;
  PortDCB.XoffChar = XOff;
  return SetCommStateFix(PortDCB);
}
