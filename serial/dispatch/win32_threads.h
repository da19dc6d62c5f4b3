#pragma once
// The device threads of a TDevaWin32Dispatcher. The read thread moves received
// bytes into the input queue, the status thread queues the line's events, and
// the write thread sends what the output ring holds. Each waits on the comm
// device in time slices and ends when KillThreads is set; a failing thread
// sets it for all of them and ends with its code (-160 write, -161 read or
// status, -13868 no buffer).
#include <cstdint>
#include <memory>
#include <vector>

#include "serial/dispatch/dispatcher_thread.h"

class CommDevice;
class TDataBuffer;
class TDevaWin32Dispatcher;

class TDevaWin32Thread : public TDevaDispatcherThread {
 public:
  // The device is the dispatcher's open one, which outlives the thread.
  explicit TDevaWin32Thread(TDevaWin32Dispatcher* Dispatcher);

 protected:
  // Ends every thread of the dispatcher, this one with `code` and the system
  // error, unless the device was closed under it (then with no code).
  void Fail(std::int32_t code);
  void FailNoBuffer();
  bool Stopping() const;

  TDevaWin32Dispatcher& Win32;
  CommDevice& Device;
};

class TReadThread : public TDevaWin32Thread {
 public:
  using TDevaWin32Thread::TDevaWin32Thread;

 protected:
  void Execute() override;

 private:
  // False while the input queue is full: then it waits for room, or a
  // hang-up, instead.
  bool AwaitQueueRoom();
  // Reads until the driver has nothing more or the queue is full.
  void ReadSerial();

  std::unique_ptr<TDataBuffer> held_;
};

class TWriteThread : public TDevaWin32Thread {
 public:
  using TDevaWin32Thread::TDevaWin32Thread;

 protected:
  void Execute() override;
  // Sends what the output ring holds whenever OutputEvent comes and answers
  // each flush, until KillThreads; each wait for either lasts at most sliceMs.
  void WriteUntilStopped(std::uint32_t sliceMs);

 private:
  // Takes all the output ring holds into chunk_; false when it holds nothing.
  bool TakeChunk();
  // Sends all the output ring holds; 0, or -160 when the device failed.
  std::int32_t WriteSerial();

  std::vector<std::uint8_t> chunk_;
};

class TStatusThread : public TDevaWin32Thread {
 public:
  using TDevaWin32Thread::TDevaWin32Thread;

 protected:
  void Execute() override;
};

// Two older forms of the device threads, kept but created by no dispatcher.

// The write thread without a time slice: it sleeps until there is output or a
// flush, so only a close (which sets OutFlushEvent) ends it, not a failure elsewhere.
class TOutThread : public TWriteThread {
 public:
  using TWriteThread::TWriteThread;

 protected:
  void Execute() override;
};

// The status thread of a dispatch thread that takes comm events one at a time:
// it puts each into CycleEventMask, signals CommEventSignal and sleeps until
// CycleDoneEvent, instead of queueing the events.
class TComThread : public TDevaWin32Thread {
 public:
  using TDevaWin32Thread::TDevaWin32Thread;

 protected:
  void Execute() override;
};
