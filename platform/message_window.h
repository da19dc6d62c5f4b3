#pragma once
// Message windows: handles owned by the thread that made them, each thread with
// its own queue. Other threads post to a window, or send to it and wait while
// the owner's thread runs the window procedure. A waiting sender serves the
// messages sent to its own thread meanwhile, so two threads that send to each
// other do not deadlock. No Qt here: a thread that runs Qt's event loop sets a
// wake-up hook and pumps this queue when the hook fires.
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

using WindowHandle = std::uint32_t;  // 0 is no window; handles are never reused

using WindowProc = std::function<std::intptr_t(WindowHandle window, std::uint32_t message,
                                               std::uintptr_t wparam, std::intptr_t lparam)>;

struct WindowMessage {
  WindowHandle window = 0;  // 0 for the quit request
  std::uint32_t message = 0;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
};

// The quit request's message number; its wparam is the exit code.
inline constexpr std::uint32_t kQuitMessage = 18;

// How long a trigger notification waits for the window's thread.
inline constexpr std::chrono::milliseconds kNotifyTimeout{3000};

// A window of the calling thread. Its procedure runs only on that thread.
WindowHandle CreateMessageWindow(WindowProc proc);

// Only the owning thread can destroy a window (false elsewhere). Messages
// still queued for it are dropped and senders waiting on it are released.
bool DestroyMessageWindow(WindowHandle window);
bool IsMessageWindow(WindowHandle window);

// The thread that owns the window; a default id when there is no such window.
std::thread::id WindowThread(WindowHandle window);

// Queues a message for the window's thread; false when the window is gone.
bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wparam,
                       std::intptr_t lparam);

// Runs the window procedure on its thread and returns its result; 0 when the
// window is gone or goes before the message is served. On the owning thread
// the procedure is called directly.
std::intptr_t SendWindowMessage(WindowHandle window, std::uint32_t message,
                                std::uintptr_t wparam, std::intptr_t lparam);

// As SendWindowMessage, giving up after `timeout`: false on time-out or when
// the window is gone. A reply that comes after the time-out is dropped.
bool SendWindowMessageTimeout(WindowHandle window, std::uint32_t message, std::uintptr_t wparam,
                              std::intptr_t lparam, std::chrono::milliseconds timeout,
                              std::intptr_t* result = nullptr);

// Asks the calling thread's loop to end; the request is seen after the
// messages already queued.
void PostQuitRequest(int exit_code);

// Serves the messages sent to the calling thread, then takes (or, with
// remove false, looks at) the next posted message or the quit request.
bool PeekWindowMessage(WindowMessage& message, bool remove = true);

// Calls the procedure of the message's window; 0 for a gone window, another
// thread's window or the quit request.
std::intptr_t DispatchWindowMessage(const WindowMessage& message);

// Dispatches what is pending on the calling thread when it is called; what
// arrives meanwhile (a message that posts itself again, say) waits for the next
// call. A quit request stays pending.
void ProcessWindowMessages();

// Blocks until the calling thread has something to serve, or the time-out
// passes; true when something is there.
bool WaitWindowMessage(std::chrono::milliseconds timeout);

// Waiting for another thread that may send to this one: blocks until
// something is sent to the calling thread (a window message or a Synchronize
// call), the thread's wake is called, or `timeout` passes, and then serves
// what was sent. Posted messages and the quit request stay queued for the
// thread's own loop. False when the time-out passed with nothing to serve.
bool WaitSentMessages(std::chrono::milliseconds timeout);

// Ends the current (or else the next) WaitSentMessages of the thread that
// asked for it; may be called from any thread, also after that thread ended.
using MessageWaitWake = std::function<void()>;
MessageWaitWake CallingThreadWake();

// For a wait with several things to await (bytes of a port, the program's end):
// each call of one of the thread's wakes also counts here, and nothing takes
// the count back, so a wait that read it before looking at what it awaits
// misses no wake. Blocks until the calling thread's count is no longer `seen`,
// or, with `messages`, until a message or call arrives for the thread to serve
// (a quit request does not count), or `timeout` passes; serves nothing. False
// when the time-out passed.
std::uint64_t ThreadWakeCount();
bool WaitThreadWake(std::uint64_t seen, std::chrono::milliseconds timeout, bool messages);

// Called, from whichever thread queues it, whenever a message or a
// Synchronize call arrives for the calling thread. It must be safe to call
// from any thread until it is replaced. A Qt program connects its event loop
// on the thread that owns windows, for example:
//   SetMessageWakeHook([] {
//     QMetaObject::invokeMethod(qApp, [] { ProcessWindowMessages(); }, Qt::QueuedConnection);
//   });
void SetMessageWakeHook(std::function<void()> hook);

// The main thread is the one that started the program, unless a program names another.
void SetMainThread();
bool IsMainThread();

// Running a call on the main thread and waiting for it: the one way a worker
// gets something done on the user-interface thread (a handler, a message box,
// a dialog). Nothing here knows Qt: a Qt program only connects the main
// thread's queue to its event loop through the wake-up hook.

// Runs `call` on the main thread and waits for it; on the main thread it runs
// at once. An exception it throws is thrown again here. False when the call
// did not run: the main thread's queue has ended, or calls are refused.
bool Synchronize(const std::function<void()>& call);

// Ends a main-thread call that goes on after it returns. Any thread may call it,
// any number of times, also after the waiting caller was released.
using SyncDone = std::function<void()>;

// As Synchronize, for work that finishes later than the call (a dialog that is
// answered later, while the main thread serves its event loop): runs `start`
// on the main thread and waits until `done` is called. Only for other threads:
// on the main thread it runs nothing and returns false. False as well when the
// caller was released by a refusal; `start` and what it sets going must then
// hold what they need by value, since the caller may be gone when they end.
bool SynchronizeUntilDone(std::function<void(SyncDone done)> start);

// While one lives, the main thread serves no call for other threads: callers
// waiting now (queued, or waiting for `done`) are released with false, and new
// calls return false at once. A call already running is not interrupted. The
// main thread makes one before it waits for a thread that may be waiting for
// it (closes a window and joins its worker), so that neither waits for ever.
class SynchronizeRefusal {
 public:
  SynchronizeRefusal();
  ~SynchronizeRefusal();
  SynchronizeRefusal(const SynchronizeRefusal&) = delete;
  SynchronizeRefusal& operator=(const SynchronizeRefusal&) = delete;
};
