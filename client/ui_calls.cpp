#include "client/ui_calls.h"

#include <QMetaObject>
#include <condition_variable>
#include <mutex>

struct UiCalls::Shared {
  std::mutex lock;
  std::condition_variable changed;
  bool cancelled = false;
};

UiCalls::UiCalls(QObject* context) : context_(context), shared_(std::make_shared<Shared>()) {}

UiCalls::~UiCalls() { Cancel(); }

bool UiCalls::Run(std::function<void(Finish finish)> start) {
  auto shared = shared_;
  auto done = std::make_shared<bool>(false);
  {
    std::lock_guard guard(shared->lock);
    if (shared->cancelled) return false;
  }
  Finish finish = [shared, done] {
    std::lock_guard guard(shared->lock);
    *done = true;
    shared->changed.notify_all();
  };
  QMetaObject::invokeMethod(
      context_,
      [shared, start = std::move(start), finish] {
        {
          std::lock_guard guard(shared->lock);
          if (shared->cancelled) return;
        }
        start(finish);
      },
      Qt::QueuedConnection);
  std::unique_lock guard(shared->lock);
  shared->changed.wait(guard, [&] { return *done || shared->cancelled; });
  return *done;
}

void UiCalls::Cancel() {
  std::lock_guard guard(shared_->lock);
  shared_->cancelled = true;
  shared_->changed.notify_all();
}

bool UiCalls::Cancelled() const {
  std::lock_guard guard(shared_->lock);
  return shared_->cancelled;
}
