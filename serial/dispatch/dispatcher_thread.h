#pragma once
// The threads of a dispatcher: the base class they share, and the dispatch
// thread, which turns what the device threads queue into input-ring bytes,
// modem and line status and trigger checks.
#include "platform/thread.h"

class TDevaBaseDispatcher;

class TDevaDispatcherThread : public TThread {
 public:
  // Not started yet: the dispatcher publishes it first (StartThread). It frees
  // itself when Execute returns; its last act there is the dispatcher's ThreadGone.
  explicit TDevaDispatcherThread(TDevaBaseDispatcher* Dispatcher) : Dispatcher(Dispatcher) {}

 protected:
  TDevaBaseDispatcher* const Dispatcher;  // not owned; outlives the thread
};

class TDispThread : public TDevaDispatcherThread {
 public:
  using TDevaDispatcherThread::TDevaDispatcherThread;

 protected:
  void Execute() override;

 private:
  // Waits (at most one time slice) until there is something to do: an item in
  // the input queue that can be taken now.
  void AwaitWork();
  bool DataWaitsForRoom();
  // Moves into the ring what the read thread queued before the threads were
  // told to end, so that bytes received before a failure stay readable.
  void TakeWhatWasQueued();
  void DispatchCycle();
  void TimerCycle();
  // Runs `check` while it reports a notification; false when a close came meanwhile.
  bool Repeat(bool (TDevaBaseDispatcher::*check)());
  // The status checks after a line event; false when a close came meanwhile.
  bool StatusChecks();
  void ResetStatusHitsIfHit();
};
