// The small dispatcher operations beside the triggers: caller data slots,
// option bits, the flow settings as option words, the dispatcher's own
// window, and RS485 mode.
#include "platform/message_window.h"
#include "serial/base/result_codes.h"
#include "serial/dispatch/base_dispatcher.h"

std::int32_t TDevaBaseDispatcher::SetDataPointer(void* P, std::uint32_t Index) {
  if (Index < 1 || Index > DataPointers.size()) return ecBadArgument;
  TCriticalSectionGuard lock(TriggerLock);
  DataPointers[Index - 1] = P;
  return 0;
}

std::int32_t TDevaBaseDispatcher::GetDataPointer(void*& P, std::uint32_t Index) {
  if (Index < 1 || Index > DataPointers.size()) return ecBadArgument;
  TCriticalSectionGuard lock(TriggerLock);
  P = DataPointers[Index - 1];
  return 0;
}

void TDevaBaseDispatcher::OptionsOn(std::uint32_t Options) {
  TCriticalSectionGuard lock(TriggerLock);
  OptionFlags |= Options;
}

void TDevaBaseDispatcher::OptionsOff(std::uint32_t Options) {
  TCriticalSectionGuard lock(TriggerLock);
  OptionFlags &= ~Options;
}

bool TDevaBaseDispatcher::OptionsAreOn(std::uint32_t Options) {
  TCriticalSectionGuard lock(TriggerLock);
  return (OptionFlags & Options) == Options;
}

std::int32_t TDevaBaseDispatcher::ChangeBaud(std::int32_t Baud) {
  return SetLine(Baud, 5, 9, 3);  // the rest as it is
}

std::int32_t TDevaBaseDispatcher::GetFlowOptions(std::uint32_t& HWOpts, std::uint32_t& SWOpts,
                                                 std::uint32_t&, std::uint32_t&, char& OnChar,
                                                 char& OffChar) {
  HWOpts = SWOpts = 0;
  TCriticalSectionGuard lock(TriggerLock);
  const std::int32_t result = GetComState(PortDCB);
  const TCommDcbFlags& f = PortDCB.Flags;
  if (f.fDtrControl == kDtrControlHandshake) HWOpts |= kHwfUseDtr;
  if (f.fRtsControl == kRtsControlHandshake || f.fRtsControl == kRtsControlToggle) HWOpts |= kHwfUseRts;
  if (f.fOutxDsrFlow) HWOpts |= kHwfRequireDsr;
  if (f.fOutxCtsFlow) HWOpts |= kHwfRequireCts;
  if (f.fOutX) SWOpts |= kSwfTransmit;
  if (f.fInX) SWOpts |= kSwfReceive;
  OnChar = PortDCB.XonChar;
  OffChar = PortDCB.XoffChar;
  return result;
}

void TDevaBaseDispatcher::CreateDispatcherWindow() {
  DispatchWindow = CreateMessageWindow([](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) {
    return std::intptr_t{0};
  });
}

void TDevaBaseDispatcher::SetRS485Mode(bool On) {
  // The driver toggles RTS around each write here, so there is no UART
  // address to ask for; only the write thread's priority follows the mode.
  TCriticalSectionGuard lock(TriggerLock);
  RS485Mode = On;
  if (TThread* writer = WriteThread.load())
    writer->SetPriority(static_cast<TThreadPriority>(ThreadBoost + (On ? tpHigher : tpNormal)));
}

void TDevaBaseDispatcher::SetBaseAddress(std::uint16_t Address) {
  TCriticalSectionGuard lock(TriggerLock);
  BaseAddress = Address;
}

std::uint16_t TDevaBaseDispatcher::GetBaseAddress() { return BaseAddress; }

std::uint8_t TDevaBaseDispatcher::PortIn(std::uint16_t) {
  return 0x60;  // transmitter holding register and shift register empty
}
