#include "serial/dispatch/port_list.h"

#include "platform/critical_section.h"
#include "serial/dispatch/base_dispatcher.h"

namespace {

// Never destroyed: a dispatcher may still be freed while the program ends.
struct PortListState {
  TCriticalSection lock;
  std::vector<TDevaBaseDispatcher*> list;
  std::int32_t keptHandle = -1;
  TDevaBaseDispatcher* kept = nullptr;
};

PortListState& State() {
  static PortListState* state = new PortListState;
  return *state;
}

}  // namespace

std::vector<TDevaBaseDispatcher*>& PortList() { return State().list; }
void LockPortList() { State().lock.Enter(); }
void UnlockPortList() { State().lock.Leave(); }

std::int32_t AddToPortList(TDevaBaseDispatcher* dispatcher) {
  PortListState& s = State();
  TCriticalSectionGuard lock(s.lock);
  for (std::size_t i = 0; i < s.list.size(); ++i)
    if (!s.list[i]) {
      s.list[i] = dispatcher;
      return static_cast<std::int32_t>(i);
    }
  s.list.push_back(dispatcher);
  return static_cast<std::int32_t>(s.list.size() - 1);
}

void RemoveFromPortList(TDevaBaseDispatcher* dispatcher) {
  PortListState& s = State();
  TCriticalSectionGuard lock(s.lock);
  for (auto& slot : s.list)
    if (slot == dispatcher) slot = nullptr;
  while (!s.list.empty() && !s.list.back()) s.list.pop_back();
  if (s.kept == dispatcher) {
    s.keptHandle = -1;
    s.kept = nullptr;
  }
}

TDevaBaseDispatcher* GetTComRecPtr(std::int32_t Handle,
                                   bool (*isOfClass)(const TDevaBaseDispatcher*)) {
  if (Handle < 0) return nullptr;  // no device: nothing to find
  PortListState& s = State();
  TCriticalSectionGuard lock(s.lock);
  if (s.kept && Handle == s.keptHandle && isOfClass(s.kept)) return s.kept;
  for (TDevaBaseDispatcher* d : s.list)
    if (d && d->ComHandle == Handle && isOfClass(d)) {
      s.keptHandle = Handle;
      s.kept = d;
      return d;
    }
  return nullptr;
}
