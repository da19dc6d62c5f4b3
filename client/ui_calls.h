#pragma once
// Work that a worker thread needs done on the user-interface thread (a dialog,
// a message box), waited for by the worker. Unlike a blocking queued call, the
// wait can be cancelled: the main window cancels at its end, so a worker never
// waits for a user-interface thread that will no longer serve it.
#include <QObject>
#include <functional>
#include <memory>

class UiCalls {
 public:
  // `context` lives on the user-interface thread; calls die with it.
  explicit UiCalls(QObject* context);
  ~UiCalls();
  UiCalls(const UiCalls&) = delete;
  UiCalls& operator=(const UiCalls&) = delete;

  using Finish = std::function<void()>;
  // Called from a worker thread: runs `start` on the user-interface thread and
  // waits until it calls `finish` (at once or later, e.g. when a dialog closes).
  // False when cancelled first; `start` then may never run.
  bool Run(std::function<void(Finish finish)> start);
  // Wakes every waiting worker; later calls return false at once.
  void Cancel();
  bool Cancelled() const;

 private:
  struct Shared;
  QObject* context_;
  std::shared_ptr<Shared> shared_;
};
