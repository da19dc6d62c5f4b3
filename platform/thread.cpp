#include "platform/thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

struct TThread::Control {
  std::mutex mutex;
  std::condition_variable endedChanged;
  std::thread thread;
  bool ended = false;
  bool joined = false;

  ~Control() {
    // The last reference may go on the thread itself, after its object freed itself.
    if (thread.joinable()) {
      if (thread.get_id() == std::this_thread::get_id())
        thread.detach();
      else
        thread.join();
    }
  }
};

namespace {
thread_local TThread* current = nullptr;
}  // namespace

TThread* TThread::Current() { return current; }

TThread::TThread() : control_(std::make_shared<Control>()) {}

TThread::~TThread() {
  // On its own thread (FreeOnTerminate) Execute is over: nothing to wait for.
  if (control_->thread.joinable() && control_->thread.get_id() != std::this_thread::get_id()) {
    Terminate();
    GetHandle().Join();
  }
}

void TThread::Start() {
  std::lock_guard lock(control_->mutex);
  if (control_->thread.joinable() || control_->ended) return;
  // The new thread first takes the lock held here, so it cannot free this
  // object before Start is done with it.
  control_->thread = std::thread(&TThread::Run, control_, this);
}

void TThread::Run(std::shared_ptr<Control> control, TThread* self) {
  { std::lock_guard started(control->mutex); }
  current = self;
  try {
    self->Execute();
  } catch (...) {
    self->fatal_ = std::current_exception();
  }
  const bool free = self->freeOnTerminate_;
  if (free) delete self;
  current = nullptr;
  {
    std::lock_guard lock(control->mutex);
    control->ended = true;
  }
  control->endedChanged.notify_all();
}

bool TThread::Finished() const {
  std::lock_guard lock(control_->mutex);
  return control_->ended;
}

std::int32_t TThread::WaitFor() {
  GetHandle().Join();
  return returnValue_;
}

void TThread::Handle::Join() const {
  if (!control_) return;
  std::unique_lock lock(control_->mutex);
  if (control_->thread.get_id() == std::this_thread::get_id()) return;
  control_->endedChanged.wait(lock, [this] { return control_->ended || !control_->thread.joinable(); });
  // One caller joins; the others have waited for the end above.
  if (!control_->joined && control_->thread.joinable()) {
    control_->joined = true;
    std::thread thread = std::move(control_->thread);
    lock.unlock();
    thread.join();
  }
}

bool TThread::Handle::Ended() const {
  if (!control_) return true;
  std::lock_guard lock(control_->mutex);
  return control_->ended;
}
