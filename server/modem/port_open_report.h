#pragma once
// Why the modem's port could not be opened, on standard error in one line that
// names the COM name and the device behind it, beside the message box that only
// the port layer's text fills:
//   trelmsrv: cannot open COM5 (/dev/ttyUSB7): no such device
// A port that stays as it is fails every retry alike; each cause is said once.
#include <exception>

#include "platform/once_per_cause.h"

class PortOpenReport {
 public:
  // The open of COM `comNumber` failed with `failure`, the port layer's exception.
  void Failed(int comNumber, const std::exception& failure);
  // The port opened: its next failure is news.
  void Opened() { said_.Clear(); }

 private:
  OncePerCause said_;
};
