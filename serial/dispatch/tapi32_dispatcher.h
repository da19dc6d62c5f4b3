#pragma once
// A dispatcher on a comm device that was opened elsewhere (a line handed over
// by whoever set up the call): its open only takes that device over.
#include <memory>

#include "serial/dispatch/win32_dispatcher.h"

class TDevaTAPI32Dispatcher : public TDevaWin32Dispatcher {
 public:
  // `Opened` may be none: the open then fails with -2007 ("device not open").
  // The device's settings can be read (GetLine, GetFlowOptions) before the open.
  TDevaTAPI32Dispatcher(TComponent* Owner, std::unique_ptr<CommDevice> Opened);

  std::int32_t OpenCom(const char* ComName, std::uint32_t InQueue, std::uint32_t OutQueue) override;
};
