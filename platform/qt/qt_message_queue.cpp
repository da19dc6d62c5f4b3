#include "platform/qt/qt_message_queue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <mutex>

#include "platform/application.h"
#include "platform/message_window.h"

namespace {

std::mutex& HookLock() {
  static std::mutex lock;
  return lock;
}

bool connected = false;  // guarded by HookLock

// From any thread: one turn of the main thread's queue, from its event loop.
void WakeMainThread() {
  std::lock_guard guard(HookLock());
  if (!connected) return;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { ProcessWindowMessages(); }, Qt::QueuedConnection);
}

// Runs as the application object goes: nothing may be posted to it any more.
void Disconnect() {
  std::lock_guard guard(HookLock());
  connected = false;
}

}  // namespace

void ServeMessagesInQtEventLoop() {
  {
    std::lock_guard guard(HookLock());
    if (connected || !QCoreApplication::instance()) return;
    connected = true;
  }
  qAddPostRoutine(Disconnect);
  SetMessageWakeHook(WakeMainThread);
  Application().ServeExceptionsHere();
  // The waits of other threads end early once the program is ending.
  QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { Application().Terminate(); });
  WakeMainThread();  // for whatever arrived before the hook
}
