#pragma once
// A thread object as the serial layer uses one: Start runs Execute on a thread
// of its own; Execute watches Terminated and leaves a ReturnValue. A thread
// marked FreeOnTerminate deletes its object when Execute ends; its Handle stays
// valid after that, so whoever must not outlive the thread can still join it.
// Priorities are stored, not applied: Linux refuses raised priorities to
// ordinary users.
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

enum TThreadPriority : int {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical,
};

class TThread {
  struct Control;

 public:
  // Outlives a thread object that frees itself.
  class Handle {
   public:
    Handle() = default;
    explicit operator bool() const { return control_ != nullptr; }
    // Blocks until the thread has ended; at once when called on the thread itself.
    void Join() const;
    bool Ended() const;

   private:
    friend class TThread;
    explicit Handle(std::shared_ptr<Control> control) : control_(std::move(control)) {}
    std::shared_ptr<Control> control_;
  };

  TThread();
  // An owner deletes a thread that does not free itself only after it has
  // ended (WaitFor); deleting a running one asks it to end and joins it, but
  // Execute must then touch nothing of a derived class.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Once. With FreeOnTerminate set, the object may be gone when Start returns.
  void Start();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const;
  // Waits for the end of Execute; returns ReturnValue. Not for a thread that
  // frees itself (use its Handle).
  std::int32_t WaitFor();
  Handle GetHandle() const { return Handle(control_); }

  // The object whose Execute runs on the calling thread; none elsewhere.
  static TThread* Current();

  std::int32_t ReturnValue() const { return returnValue_; }
  void SetReturnValue(std::int32_t value) { returnValue_ = value; }
  bool FreeOnTerminate() const { return freeOnTerminate_; }
  void SetFreeOnTerminate(bool free) { freeOnTerminate_ = free; }
  TThreadPriority Priority() const { return priority_; }
  void SetPriority(TThreadPriority priority) { priority_ = priority; }
  // An exception that escaped Execute, kept for the owner.
  std::exception_ptr FatalException() const { return fatal_; }

 protected:
  virtual void Execute() = 0;

 private:
  static void Run(std::shared_ptr<Control> control, TThread* self);

  std::shared_ptr<Control> control_;
  std::atomic<bool> terminated_{false};
  std::atomic<std::int32_t> returnValue_{0};
  std::atomic<bool> freeOnTerminate_{false};
  std::atomic<TThreadPriority> priority_{tpNormal};
  std::exception_ptr fatal_;
};
