#pragma once
// Inside the port component: one use of its dispatcher, and the guarded run of
// an operation on it.
#include "serial/port/com_port.h"

// While it lives, a close does not free the dispatcher. Refused (false) while
// a close is freeing it.
class PortUse {
 public:
  explicit PortUse(TDevaCustomComPort& Port);
  ~PortUse();
  PortUse(const PortUse&) = delete;
  PortUse& operator=(const PortUse&) = delete;
  explicit operator bool() const { return taken_; }

 private:
  TDevaCustomComPort& port_;
  bool taken_ = false;
};

template <typename R, typename Op>
R TDevaCustomComPort::Use(R neutral, Op op) {
  if (ShuttingDown()) return neutral;
  PortUse use(*this);
  // A close that began meanwhile meets the use it counts on from here.
  if (!use || PortState_ == psShuttingDown) return neutral;
  return op(ValidDispatcher());
}

template <typename Op>
bool TDevaCustomComPort::WhileOpen(Op op) {
  if (PortState_ != psOpen) return false;
  PortUse use(*this);
  if (!use || PortState_ != psOpen) return false;
  op(*Dispatcher_.load());
  return true;
}
