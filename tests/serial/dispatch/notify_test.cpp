#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/message_window.h"
#include "serial/base/result_codes.h"
#include "tests/serial/dispatch/notice_recorder.h"
#include "tests/serial/dispatch/test_dispatcher.h"
#include "tests/support/message_box_answers.h"

namespace {

using namespace std::chrono_literals;

class Notify : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(d.Open(), 0);
    d.Receive("abcde");
  }

  // A read on another thread, while this one delivers.
  std::int32_t GetCharElsewhere(char& c) {
    return std::async(std::launch::async, [&] { return d.GetChar(c); }).get();
  }

  TTestDispatcher d{std::make_unique<FakeCommDevice>()};
};

TEST_F(Notify, WithoutHandlersNothingHappensAndThePortsOwnWindowHearsOnlyWhenItAsked) {
  EXPECT_TRUE(d.SendNotify(kNotifyAvail, 5, 0));

  std::vector<Notice> heard;
  const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t m, std::uintptr_t wp,
                                                 std::intptr_t lp) {
    heard.push_back({m, static_cast<std::uint32_t>(wp), static_cast<std::int32_t>(lp)});
    return std::intptr_t{0};
  });
  // As the port opens: no trigger event of its own, then its window.
  d.UpdateHandlerFlags(fuDisablePort);
  d.RegisterWndTriggerHandler(w);
  EXPECT_FALSE(d.SendNotify(kNotifyAvail, 5, 0));  // delivered to no one
  EXPECT_TRUE(heard.empty());
  EXPECT_EQ(d.InBuffUsed(), 5u);

  d.UpdateHandlerFlags(fuEnablePort);
  d.SendNotify(kNotifyStatus, 35, 70000);  // the value spills into the handle's half
  EXPECT_EQ(heard, (std::vector<Notice>{{kNotifyStatus, 35, NoticeParam(d, 70000)}}));
  d.DeregisterWndTriggerHandler(w);
  DestroyMessageWindow(w);
}

TEST_F(Notify, EveryHandlerSeesTheSameBytesAndTheTailMovesByTheMostOneRead) {
  NoticeRecorder first(d), second(d);
  std::string seen;
  first.During = [&](const Notice&) {
    char c;
    ASSERT_EQ(d.GetChar(c), 0);
    seen += c;
  };
  second.During = [&](const Notice&) {
    std::string two(2, 0);
    ASSERT_EQ(d.GetBlock(two), 2);
    seen += two;
    EXPECT_EQ(d.InBuffUsed(), 3u);
  };
  EXPECT_FALSE(d.SendNotify(kNotifyAvail, 5, 0));  // 2 of the 5 announced were read
  EXPECT_EQ(seen, "aab");
  EXPECT_EQ(d.InTail, 2u);
  EXPECT_FALSE(d.InAvailNotify);
}

TEST_F(Notify, OnlyTheHandlersThreadReadsAsTheHandlerAndOthersGetNothingMeanwhile) {
  NoticeRecorder handler(d);
  handler.During = [&](const Notice&) {
    char c = 0;
    EXPECT_EQ(GetCharElsewhere(c), ecBufferIsEmpty);  // held for the handler
    std::string two(2, 0);
    EXPECT_EQ(d.GetBlock(two), 2);
    EXPECT_EQ(two, "ab");
  };
  d.SendNotify(kNotifyAvail, 5, 0);
  char c = 0;
  EXPECT_EQ(GetCharElsewhere(c), 0);
  EXPECT_EQ(c, 'c');  // not a byte the handler had
}

TEST_F(Notify, ASynchronisedHandlerRunsOnTheMainThreadAndReadsThere) {
  NoticeRecorder handler(d, true);
  std::thread::id ranOn;
  handler.During = [&](const Notice&) {
    ranOn = std::this_thread::get_id();
    char c;
    EXPECT_EQ(d.GetChar(c), 0);
  };
  auto delivered = std::async(std::launch::async, [&] { return d.SendNotify(kNotifyAvail, 1, 0); });
  while (delivered.wait_for(0s) != std::future_status::ready) WaitSentMessages(10ms);
  EXPECT_TRUE(delivered.get());
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(d.InTail, 1u);
}

TEST_F(Notify, AWaitInsideAHandlerAndANotificationDuringAWaitKeepTheirOwnClaims) {
  NoticeRecorder handler(d);
  handler.During = [&](const Notice&) {
    EXPECT_TRUE(d.EventBusy);
    bool was = true;
    d.SetEventBusy(was, true);  // a wait begins
    EXPECT_FALSE(was);
    d.SetEventBusy(was, was);   // and ends, restoring what it found
  };
  d.SendNotify(kNotifyTimer, 8, 0);
  EXPECT_FALSE(d.EventBusy);

  handler.During = nullptr;
  bool was = true;
  d.SetEventBusy(was, true);
  d.SendNotify(kNotifyTimer, 8, 0);
  EXPECT_TRUE(d.EventBusy);  // the wait still holds it
  d.SetEventBusy(was, was);
  EXPECT_FALSE(d.EventBusy);
}

TEST_F(Notify, HandlersRemovedDuringANotificationAreSkippedAndFreedAtItsEnd) {
  static TTestDispatcher* target;
  static int calls;
  target = &d;
  calls = 0;
  struct Procs {
    static void First(std::uint32_t, std::uint32_t, std::int32_t) {
      ++calls;
      target->DeregisterProcTriggerHandler(&Second);
      target->DeregisterProcTriggerHandler(&First);
    }
    static void Second(std::uint32_t, std::uint32_t, std::int32_t) { ++calls; }
  };
  d.RegisterProcTriggerHandler(&Procs::First);
  d.RegisterProcTriggerHandler(&Procs::Second);
  d.SendNotify(kNotifyTimer, 8, 0);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(d.ProcHandlerList.empty());
  EXPECT_FALSE(d.NotifyNeeded);
}

TEST_F(Notify, AHandlersExceptionEndsTheNotificationOnlyAndLeavesNoLockHeld) {
  MessageBoxAnswers answers;
  NoticeRecorder handler(d);
  handler.During = [&](const Notice&) {
    char c;
    d.GetChar(c);
    throw std::runtime_error("handler failed");
  };
  EXPECT_FALSE(d.SendNotify(kNotifyAvail, 5, 0));
  EXPECT_EQ(answers.TextsUtf8(), std::vector<std::string>{"handler failed"});
  EXPECT_FALSE(d.EventBusy);
  EXPECT_FALSE(d.InAvailNotify);
  EXPECT_EQ(d.InTail, 1u);  // what it read before it threw is gone
  // Another thread takes every lock of the dispatcher.
  EXPECT_GT(std::async(std::launch::async, [&] { return d.AddTimerTrigger(); }).get(), 0);
  EXPECT_EQ(std::async(std::launch::async, [&] { return d.InBuffUsed(); }).get(), 4u);
  handler.During = nullptr;
  EXPECT_TRUE(d.SendNotify(kNotifyTimer, 8, 0));
  EXPECT_EQ(handler.Count(), 2u);
}

}  // namespace
