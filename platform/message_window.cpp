#include "platform/message_window.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

// Locks: the registry's, then at most one queue's, never the other way round.

namespace {

struct ThreadQueue;

// A message sent to a window (or a call to run on the main thread) and its answer.
// The answer fields are guarded by the sender's queue lock.
struct SentItem {
  WindowMessage message;
  std::function<void()> call;             // set for Synchronize
  std::function<void(SyncDone)> start;    // set for SynchronizeUntilDone
  std::shared_ptr<ThreadQueue> sender;
  bool done = false;
  bool served = false;
  std::intptr_t result = 0;
  std::exception_ptr error;
};

struct ThreadQueue {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<WindowMessage> posted;
  std::deque<std::shared_ptr<SentItem>> sent;
  bool quit = false;
  int quit_code = 0;
  bool alive = true;
  bool woken = false;     // by a MessageWaitWake, until a WaitSentMessages takes it
  std::uint64_t wakes = 0;  // every MessageWaitWake counts; nothing takes them
  std::function<void()> wake;
};

struct Window {
  std::shared_ptr<WindowProc> proc;
  std::shared_ptr<ThreadQueue> owner;
  std::thread::id thread;
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<WindowHandle, Window> windows;
  WindowHandle last = 0;
  std::thread::id main_id;
  std::shared_ptr<ThreadQueue> main_queue;
  int refusals = 0;  // live SynchronizeRefusal objects
  // Calls whose `start` has run on the main thread and whose `done` is awaited.
  std::vector<std::shared_ptr<SentItem>> started;
};

// Never destroyed: threads may still use it while the program ends.
Registry& Reg() {
  static Registry* registry = new Registry;
  return *registry;
}

// The thread that runs static initialisation is the program's main thread.
const bool kMainThreadNoted = [] {
  Reg().main_id = std::this_thread::get_id();
  return true;
}();

bool IsCall(const SentItem& item) { return item.call || item.start; }

// Answers the sender once; later answers (a late `done`) are dropped.
void Complete(const std::shared_ptr<SentItem>& item, bool served, std::intptr_t result,
              std::exception_ptr error) {
  ThreadQueue& sender = *item->sender;
  {
    std::lock_guard lock(sender.mutex);
    if (item->done) return;
    item->done = true;
    item->served = served;
    item->result = result;
    item->error = std::move(error);
  }
  sender.cv.notify_all();
}

void EndQueue(const std::shared_ptr<ThreadQueue>& queue);

// The calling thread's queue, made on first use and ended with the thread.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (queue) EndQueue(queue);
  }
};

std::shared_ptr<ThreadQueue> MainQueueLocked(Registry& reg) {
  if (!reg.main_queue) reg.main_queue = std::make_shared<ThreadQueue>();
  return reg.main_queue;
}

ThreadQueue& MyQueue(std::shared_ptr<ThreadQueue>* shared = nullptr) {
  thread_local QueueHolder holder;
  if (!holder.queue) {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    holder.queue = reg.main_id == std::this_thread::get_id() ? MainQueueLocked(reg)
                                                             : std::make_shared<ThreadQueue>();
  }
  if (shared != nullptr) *shared = holder.queue;
  return *holder.queue;
}

void Wake(ThreadQueue& queue, const std::function<void()>& hook) {
  queue.cv.notify_all();
  if (hook) hook();
}

// Drops the messages of `window` (every window when 0) from a queue and
// releases the senders waiting on them.
void Purge(ThreadQueue& queue, WindowHandle window) {
  std::vector<std::shared_ptr<SentItem>> released;
  {
    std::lock_guard lock(queue.mutex);
    std::erase_if(queue.posted,
                  [window](const WindowMessage& m) { return window == 0 || m.window == window; });
    std::erase_if(queue.sent, [&](const std::shared_ptr<SentItem>& item) {
      const bool drop = window == 0 || (!IsCall(*item) && item->message.window == window);
      if (drop) released.push_back(item);
      return drop;
    });
  }
  for (const auto& item : released) Complete(item, false, 0, nullptr);
}

void EndQueue(const std::shared_ptr<ThreadQueue>& queue) {
  Registry& reg = Reg();
  std::vector<std::shared_ptr<SentItem>> started;
  {
    std::lock_guard lock(reg.mutex);
    std::erase_if(reg.windows, [&](const auto& entry) { return entry.second.owner == queue; });
    if (queue == reg.main_queue) started.swap(reg.started);  // nobody is left to finish them
    std::lock_guard qlock(queue->mutex);
    queue->alive = false;
    queue->wake = nullptr;
  }
  Purge(*queue, 0);
  for (const auto& item : started) Complete(item, false, 0, nullptr);
}

std::shared_ptr<WindowProc> FindProc(WindowHandle window) {
  Registry& reg = Reg();
  std::lock_guard lock(reg.mutex);
  auto it = reg.windows.find(window);
  return it == reg.windows.end() ? nullptr : it->second.proc;
}

void FinishStarted(const std::shared_ptr<SentItem>& item, std::exception_ptr error) {
  {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    std::erase(reg.started, item);
  }
  Complete(item, true, 0, std::move(error));
}

// Starts a call that ends with `done`; the caller stays waiting until then.
void ServeStart(const std::shared_ptr<SentItem>& item) {
  bool refused;
  {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    refused = reg.refusals > 0;
    if (!refused) reg.started.push_back(item);
  }
  if (refused) return Complete(item, false, 0, nullptr);
  SyncDone done = [weak = std::weak_ptr<SentItem>(item)] {
    if (auto it = weak.lock()) FinishStarted(it, nullptr);
  };
  try {
    item->start(std::move(done));
  } catch (...) {
    FinishStarted(item, std::current_exception());
  }
}

// Runs one message sent to this thread and answers its sender.
void Serve(const std::shared_ptr<SentItem>& item) {
  if (item->start) return ServeStart(item);
  std::intptr_t result = 0;
  bool served = false;
  std::exception_ptr error;
  try {
    if (item->call) {
      item->call();
      served = true;
    } else if (auto proc = FindProc(item->message.window)) {
      const WindowMessage& m = item->message;
      result = (*proc)(m.window, m.message, m.wparam, m.lparam);
      served = true;
    }
  } catch (...) {
    error = std::current_exception();
    served = true;
  }
  Complete(item, served, result, std::move(error));
}

bool ServeOneSent(ThreadQueue& queue) {
  std::shared_ptr<SentItem> item;
  {
    std::lock_guard lock(queue.mutex);
    if (queue.sent.empty()) return false;
    item = std::move(queue.sent.front());
    queue.sent.pop_front();
  }
  Serve(item);
  return true;
}

// Queues `item` on `target`, or, for a call, on the main thread unless calls
// are refused. The refusal is looked at under the registry lock that a refusal
// takes to release callers, so no call slips in past it.
bool Enqueue(std::shared_ptr<ThreadQueue> target, const std::shared_ptr<SentItem>& item) {
  std::function<void()> hook;
  {
    Registry& reg = Reg();
    std::unique_lock regLock(reg.mutex, std::defer_lock);
    if (!target) {
      regLock.lock();
      if (reg.refusals > 0) return false;
      target = MainQueueLocked(reg);
    }
    std::lock_guard lock(target->mutex);
    if (!target->alive) return false;
    target->sent.push_back(item);
    hook = target->wake;
  }
  Wake(*target, hook);
  return true;
}

// Queues `item` (see Enqueue) and waits for its answer (until `deadline`, when
// given), serving what is sent to this thread meanwhile. False when the item
// was not queued or not answered in time.
bool SendAndWait(const std::shared_ptr<ThreadQueue>& target, const std::shared_ptr<SentItem>& item,
                 const std::chrono::steady_clock::time_point* deadline) {
  ThreadQueue& me = MyQueue(&item->sender);
  if (!Enqueue(target, item)) return false;
  std::unique_lock lock(me.mutex);
  for (;;) {
    if (item->done) return true;
    if (!me.sent.empty()) {
      lock.unlock();
      ServeOneSent(me);
      lock.lock();
      continue;
    }
    if (deadline == nullptr) {
      me.cv.wait(lock);
    } else if (me.cv.wait_until(lock, *deadline) == std::cv_status::timeout) {
      return item->done;
    }
  }
}

std::shared_ptr<ThreadQueue> OwnerOf(WindowHandle window, std::shared_ptr<WindowProc>* proc) {
  Registry& reg = Reg();
  std::lock_guard lock(reg.mutex);
  auto it = reg.windows.find(window);
  if (it == reg.windows.end()) return nullptr;
  if (proc != nullptr) *proc = it->second.proc;
  return it->second.owner;
}

// Send to a window: direct call on the owner's thread, else queued and awaited.
bool SendPrim(WindowHandle window, const WindowMessage& message,
              const std::chrono::steady_clock::time_point* deadline, std::intptr_t& result) {
  std::shared_ptr<WindowProc> proc;
  auto owner = OwnerOf(window, &proc);
  if (!owner) return false;
  std::shared_ptr<ThreadQueue> me;
  MyQueue(&me);
  if (owner == me) {
    result = (*proc)(message.window, message.message, message.wparam, message.lparam);
    return true;
  }
  auto item = std::make_shared<SentItem>();
  item->message = message;
  if (!SendAndWait(owner, item, deadline)) return false;
  // The answer fields are stable once done is seen under our lock. The error
  // is taken out, so that this thread alone owns it from here.
  std::exception_ptr error;
  bool served = false;
  {
    std::lock_guard lock(me->mutex);
    error = std::move(item->error);
    result = item->result;
    served = item->served;
  }
  if (error) std::rethrow_exception(error);
  return served;
}

// Hands a call to the main thread and waits for its answer.
bool CallOnMainThread(const std::shared_ptr<SentItem>& item) {
  if (!SendAndWait(nullptr, item, nullptr)) return false;
  std::exception_ptr error;
  bool served = false;
  {
    std::lock_guard lock(item->sender->mutex);
    error = std::move(item->error);
    served = item->served;
  }
  if (error) std::rethrow_exception(error);
  return served;
}


}  // namespace

WindowHandle CreateMessageWindow(WindowProc proc) {
  std::shared_ptr<ThreadQueue> me;
  MyQueue(&me);
  Registry& reg = Reg();
  std::lock_guard lock(reg.mutex);
  do {
    ++reg.last;
  } while (reg.last == 0 || reg.windows.contains(reg.last));
  reg.windows[reg.last] = {std::make_shared<WindowProc>(std::move(proc)), me,
                           std::this_thread::get_id()};
  return reg.last;
}

bool DestroyMessageWindow(WindowHandle window) {
  std::shared_ptr<ThreadQueue> me;
  MyQueue(&me);
  {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    auto it = reg.windows.find(window);
    if (it == reg.windows.end() || it->second.owner != me) return false;
    reg.windows.erase(it);
  }
  Purge(*me, window);
  return true;
}

bool IsMessageWindow(WindowHandle window) { return OwnerOf(window, nullptr) != nullptr; }

std::thread::id WindowThread(WindowHandle window) {
  Registry& reg = Reg();
  std::lock_guard lock(reg.mutex);
  auto it = reg.windows.find(window);
  return it == reg.windows.end() ? std::thread::id() : it->second.thread;
}

bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wparam,
                       std::intptr_t lparam) {
  auto owner = OwnerOf(window, nullptr);
  if (!owner) return false;
  std::function<void()> hook;
  {
    std::lock_guard lock(owner->mutex);
    if (!owner->alive) return false;
    owner->posted.push_back({window, message, wparam, lparam});
    hook = owner->wake;
  }
  Wake(*owner, hook);
  return true;
}

std::intptr_t SendWindowMessage(WindowHandle window, std::uint32_t message,
                                std::uintptr_t wparam, std::intptr_t lparam) {
  std::intptr_t result = 0;
  return SendPrim(window, {window, message, wparam, lparam}, nullptr, result) ? result : 0;
}

bool SendWindowMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wparam,
                              std::intptr_t lparam, std::chrono::milliseconds timeout,
                              std::intptr_t* result) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::intptr_t r = 0;
  const bool ok = SendPrim(window, {window, message, wparam, lparam}, &deadline, r);
  if (result != nullptr) *result = ok ? r : 0;
  return ok;
}

void PostQuitRequest(int exit_code) {
  ThreadQueue& me = MyQueue();
  std::lock_guard lock(me.mutex);
  me.quit = true;
  me.quit_code = exit_code;
}

bool PeekWindowMessage(WindowMessage& message, bool remove) {
  ThreadQueue& me = MyQueue();
  while (ServeOneSent(me)) {
  }
  std::lock_guard lock(me.mutex);
  if (!me.posted.empty()) {
    message = me.posted.front();
    if (remove) me.posted.pop_front();
    return true;
  }
  if (me.quit) {
    message = {0, kQuitMessage, static_cast<std::uintptr_t>(me.quit_code), 0};
    if (remove) me.quit = false;
    return true;
  }
  return false;
}

std::intptr_t DispatchWindowMessage(const WindowMessage& message) {
  if (message.window == 0) return 0;
  std::shared_ptr<ThreadQueue> me;
  MyQueue(&me);
  std::shared_ptr<WindowProc> proc;
  // A window's procedure runs on its own thread only.
  if (OwnerOf(message.window, &proc) != me) return 0;
  return (*proc)(message.window, message.message, message.wparam, message.lparam);
}

void ProcessWindowMessages() {
  ThreadQueue& me = MyQueue();
  // Only what is queued now: a message that posts itself again waits for the
  // next call instead of keeping this one busy for ever.
  std::size_t queued;
  {
    std::lock_guard lock(me.mutex);
    queued = me.posted.size();
  }
  WindowMessage m;
  for (; queued > 0 && PeekWindowMessage(m); --queued) {
    if (m.message == kQuitMessage) {  // even one posted to a window
      PostQuitRequest(static_cast<int>(m.wparam));
      return;
    }
    DispatchWindowMessage(m);
  }
  while (ServeOneSent(me)) {
  }
}

bool WaitWindowMessage(std::chrono::milliseconds timeout) {
  ThreadQueue& me = MyQueue();
  std::unique_lock lock(me.mutex);
  return me.cv.wait_for(lock, timeout,
                        [&] { return !me.posted.empty() || !me.sent.empty() || me.quit; });
}

bool WaitSentMessages(std::chrono::milliseconds timeout) {
  ThreadQueue& me = MyQueue();
  bool something;
  {
    std::unique_lock lock(me.mutex);
    something = me.cv.wait_for(lock, timeout, [&] { return !me.sent.empty() || me.woken; });
    me.woken = false;
  }
  while (ServeOneSent(me)) {
  }
  return something;
}

MessageWaitWake CallingThreadWake() {
  std::shared_ptr<ThreadQueue> me;
  MyQueue(&me);
  return [weak = std::weak_ptr<ThreadQueue>(me)] {
    if (auto queue = weak.lock()) {
      {
        std::lock_guard lock(queue->mutex);
        queue->woken = true;
        ++queue->wakes;
      }
      queue->cv.notify_all();
    }
  };
}

std::uint64_t ThreadWakeCount() {
  ThreadQueue& me = MyQueue();
  std::lock_guard lock(me.mutex);
  return me.wakes;
}

bool WaitThreadWake(std::uint64_t seen, std::chrono::milliseconds timeout, bool messages) {
  ThreadQueue& me = MyQueue();
  std::unique_lock lock(me.mutex);
  return me.cv.wait_for(lock, timeout, [&] {
    return me.wakes != seen || (messages && (!me.posted.empty() || !me.sent.empty()));
  });
}

void SetMessageWakeHook(std::function<void()> hook) {
  ThreadQueue& me = MyQueue();
  std::lock_guard lock(me.mutex);
  me.wake = std::move(hook);
}

void SetMainThread() {
  std::shared_ptr<ThreadQueue> me;
  MyQueue(&me);
  Registry& reg = Reg();
  std::lock_guard lock(reg.mutex);
  reg.main_id = std::this_thread::get_id();
  reg.main_queue = me;
}

bool IsMainThread() {
  Registry& reg = Reg();
  std::lock_guard lock(reg.mutex);
  return reg.main_id == std::this_thread::get_id();
}


bool Synchronize(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return true;
  }
  auto item = std::make_shared<SentItem>();
  item->call = call;
  return CallOnMainThread(item);
}

bool SynchronizeUntilDone(std::function<void(SyncDone done)> start) {
  if (IsMainThread()) return false;
  auto item = std::make_shared<SentItem>();
  item->start = std::move(start);
  return CallOnMainThread(item);
}

SynchronizeRefusal::SynchronizeRefusal() {
  std::vector<std::shared_ptr<SentItem>> released;
  {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    ++reg.refusals;
    released.swap(reg.started);
    if (reg.main_queue) {
      std::lock_guard qlock(reg.main_queue->mutex);
      std::erase_if(reg.main_queue->sent, [&](const std::shared_ptr<SentItem>& item) {
        if (!IsCall(*item)) return false;
        released.push_back(item);
        return true;
      });
    }
  }
  for (const auto& item : released) Complete(item, false, 0, nullptr);
}

SynchronizeRefusal::~SynchronizeRefusal() {
  Registry& reg = Reg();
  std::lock_guard lock(reg.mutex);
  --reg.refusals;
}
