#pragma once
// An event handler for a dispatcher's notifications: it records each one and
// runs what the test asks of it while the notification is delivered.
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "serial/dispatch/base_dispatcher.h"

struct Notice {
  std::uint32_t msg;
  std::uint32_t wparam;
  std::int32_t lparam;
  bool operator==(const Notice&) const = default;
};

class NoticeRecorder {
 public:
  // Registered for as long as it lives; `synchronised` runs it on the main thread.
  explicit NoticeRecorder(TDevaBaseDispatcher& d, bool synchronised = false) : d_(d) {
    if (synchronised)
      d_.RegisterSyncEventTriggerHandler({&Call, this});
    else
      d_.RegisterEventTriggerHandler({&Call, this});
  }
  ~NoticeRecorder() { d_.DeregisterEventTriggerHandler({&Call, this}); }
  NoticeRecorder(const NoticeRecorder&) = delete;
  NoticeRecorder& operator=(const NoticeRecorder&) = delete;

  // Runs inside each notification, after it was recorded.
  std::function<void(const Notice&)> During;

  std::vector<Notice> Notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
  }
  std::size_t Count() const {
    std::lock_guard lock(mutex_);
    return notices_.size();
  }

 private:
  static void Call(void* self, std::uint32_t msg, std::uint32_t wparam, std::int32_t lparam) {
    auto& r = *static_cast<NoticeRecorder*>(self);
    const Notice n{msg, wparam, lparam};
    {
      std::lock_guard lock(r.mutex_);
      r.notices_.push_back(n);
    }
    if (r.During) r.During(n);
  }

  TDevaBaseDispatcher& d_;
  mutable std::mutex mutex_;
  std::vector<Notice> notices_;
};

// The lParam of a notification of dispatcher `d` with `value`.
inline std::int32_t NoticeParam(const TDevaBaseDispatcher& d, std::uint32_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(d.DispatcherHandle) * 65536u + value);
}
