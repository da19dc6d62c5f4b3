#pragma once
// A critical section: a lock its owner may take again while holding it, as the
// serial layer's dispatcher does (its output lock and the port-list lock are
// re-entered by the operations they call). Usable with std::lock_guard.
#include <mutex>

class TCriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }

  void lock() { Enter(); }
  void unlock() { Leave(); }
  bool try_lock() { return TryEnter(); }

 private:
  std::recursive_mutex mutex_;
};

using TCriticalSectionGuard = std::lock_guard<TCriticalSection>;
