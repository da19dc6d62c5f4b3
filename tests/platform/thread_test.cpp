#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/thread.h"

namespace {

// Waits until told to go on, then ends with the return value it was given.
class Waiter : public TThread {
 public:
  Waiter(std::int32_t result, bool* freed = nullptr) : result_(result), freed_(freed) {}
  ~Waiter() override {
    if (freed_) *freed_ = true;
  }
  TEvent go;
  bool sawTerminate = false;
  int lastError = -1;
  bool wasCurrent = false;

 protected:
  void Execute() override {
    wasCurrent = Current() == this;
    lastError = GetLastSysError();  // each thread has its own
    SetLastSysError(5);
    go.Wait(kInfinite);
    sawTerminate = Terminated();
    SetReturnValue(result_);
  }

 private:
  std::int32_t result_;
  bool* freed_;
};

TEST(Thread, RunsExecuteAndKeepsItsReturnValue) {
  SetLastSysError(2);
  Waiter t(-161);
  EXPECT_FALSE(t.Finished());
  t.Start();
  t.Terminate();
  t.go.Set();
  EXPECT_EQ(t.WaitFor(), -161);
  EXPECT_TRUE(t.Finished());
  EXPECT_TRUE(t.sawTerminate);
  EXPECT_TRUE(t.wasCurrent);
  EXPECT_EQ(TThread::Current(), nullptr);
  EXPECT_EQ(t.lastError, 0);
  EXPECT_EQ(GetLastSysError(), 2);
}

TEST(Thread, FreeOnTerminateDeletesItselfAndItsHandleStillJoins) {
  bool freed = false;
  auto* t = new Waiter(0, &freed);
  t->SetFreeOnTerminate(true);
  const TThread::Handle handle = t->GetHandle();
  t->Start();
  t->go.Set();
  handle.Join();
  EXPECT_TRUE(handle.Ended());
  EXPECT_TRUE(freed);
}

TEST(Thread, PriorityIsStoredAndAnEscapedExceptionKept) {
  class Thrower : public TThread {
   protected:
    void Execute() override { throw std::runtime_error("boom"); }
  } t;
  t.SetPriority(tpHighest);
  EXPECT_EQ(t.Priority(), tpHighest);
  t.Start();
  t.WaitFor();
  EXPECT_THROW(std::rethrow_exception(t.FatalException()), std::runtime_error);
}

TEST(CriticalSection, ItsOwnerReEntersAndOthersWait) {
  TCriticalSection cs;
  cs.Enter();
  cs.Enter();
  bool other = true;
  std::thread([&] { other = cs.TryEnter(); }).join();
  EXPECT_FALSE(other);
  cs.Leave();
  cs.Leave();
  std::thread([&] {
    other = cs.TryEnter();
    if (other) cs.Leave();
  }).join();
  EXPECT_TRUE(other);
}

}  // namespace
