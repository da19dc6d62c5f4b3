#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/message_window.h"
#include "serial/base/delay.h"
#include "tests/serial/base/fake_clock.h"

namespace {

using DelayTest = FakeClockTest;

std::intptr_t Ignore(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }

TEST(SafeYield, DispatchesOneMessageAndReportsItsNumberAndWindow) {
  EXPECT_EQ(SafeYield(), 0u);
  std::uint32_t seen = 0;
  const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t m, auto, auto) {
    seen = m;
    return std::intptr_t{0};
  });
  PostWindowMessage(w, 0x7E0A, 0, 0);
  EXPECT_EQ(SafeYield(), 0x7E0Au | ((w & 0xFFFFu) << 16));
  EXPECT_EQ(seen, 0x7E0Au);
  EXPECT_EQ(SafeYield(), 0u);
  DestroyMessageWindow(w);
}

TEST(SafeYield, PutsTheQuitRequestBackEvenOneNamingAWindow) {
  int calls = 0;
  const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t, auto, auto) {
    ++calls;
    return std::intptr_t{0};
  });
  PostQuitRequest(4);
  EXPECT_EQ(SafeYield(), 18u);
  EXPECT_EQ(SafeYield(), 18u);
  WindowMessage m;
  ASSERT_TRUE(PeekWindowMessage(m));
  EXPECT_EQ(m.message, kQuitMessage);
  EXPECT_EQ(m.wparam, 4u);

  PostWindowMessage(w, kQuitMessage, 7, 0);
  EXPECT_EQ(SafeYield(), kQuitMessage | ((w & 0xFFFFu) << 16));
  EXPECT_EQ(calls, 0);
  ASSERT_TRUE(PeekWindowMessage(m));
  EXPECT_EQ(m.message, kQuitMessage);
  EXPECT_EQ(m.window, 0u);
  EXPECT_EQ(m.wparam, 7u);
  DestroyMessageWindow(w);
}

TEST(SafeYield, ServesAnotherThreadsSendWhileWaiting) {
  std::thread::id ran_on;
  const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t, std::uintptr_t wp,
                                                 std::intptr_t) {
    ran_on = std::this_thread::get_id();
    return static_cast<std::intptr_t>(wp + 1);
  });
  std::atomic<std::intptr_t> answer{0};
  std::thread dispatcher([&] { answer = SendWindowMessage(w, 0x7E01, 41, 0); });
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (answer.load() == 0 && std::chrono::steady_clock::now() < limit) {
    WaitWindowMessage(std::chrono::milliseconds(10));
    EXPECT_EQ(SafeYield(), 0u);  // a served send is no posted message
  }
  dispatcher.join();
  EXPECT_EQ(answer.load(), 42);
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  DestroyMessageWindow(w);
}

TEST_F(DelayTest, NothingToWaitLeavesTheQueueAlone) {
  const WindowHandle w = CreateMessageWindow(Ignore);
  PostWindowMessage(w, 0x7E01, 0, 0);
  EXPECT_EQ(DelayTicks(0, true), 0u);
  EXPECT_EQ(DelayTicks(-5, true), 0u);
  WindowMessage m;
  EXPECT_TRUE(PeekWindowMessage(m));
  DestroyMessageWindow(w);
}

TEST_F(DelayTest, AQuitRequestEndsTheWaitAndStaysPending) {
  const WindowHandle w = CreateMessageWindow(Ignore);
  for (WindowHandle named : {WindowHandle{0}, w}) {
    SetMs(1000);  // the clock stands still: only the quit request can end this wait
    if (named == 0)
      PostQuitRequest(0);
    else
      PostWindowMessage(named, kQuitMessage, 0, 0);
    EXPECT_EQ(DelayTicks(100, true), 18u) << named;
    EXPECT_EQ(NowMs(), 1000u) << named;
    WindowMessage m;
    ASSERT_TRUE(PeekWindowMessage(m));
    EXPECT_EQ(m.message, kQuitMessage);
  }
  DestroyMessageWindow(w);
}

// The clock steps 1 ms on every reading: a wait that polled it would read it
// a hundred times or more, one that sleeps reads it a few times per wake-up.
TEST_F(DelayTest, WaitsItsTicksAsleepAlsoAcrossTheClockWrap) {
  for (bool yield : {false, true}) {
    for (std::uint32_t start : {1000u, 0xFFFFFFFFu - 30u}) {
      SetMs(start);
      StepEveryRead(1);
      const std::uint32_t reads = Reads();
      EXPECT_EQ(DelayTicks(3, yield), 0u);
      const std::uint32_t waited = NowMs() - start;  // unsigned: across the wrap too
      EXPECT_GE(waited, 3 * 55u - 55u) << start;
      EXPECT_LE(waited, 4 * 55u + 2) << start;
      EXPECT_LE(Reads() - reads, 10u) << start;
    }
  }
}

TEST_F(DelayTest, DelayMsCountsMillisecondsAcrossTheWrap) {
  SetMs(0xFFFFFFFFu - 20u);
  StepEveryRead(7);
  const std::uint32_t start = NowMs();
  EXPECT_EQ(DelayMS(100), 100u);
  const std::uint32_t waited = NowMs() - start;
  EXPECT_GE(waited, 100u);
  EXPECT_LE(waited, 100u + 3 * 7u);
  EXPECT_LE(Reads(), 5u);
}

// On the system's clock: the delays really pass their time.
TEST(Delay, SleepsItsTimeOnTheSystemClock) {
  const std::uint32_t t0 = AdTimeGetTime();
  EXPECT_EQ(DelayMS(20), 20u);
  EXPECT_GE(AdTimeGetTime() - t0, 20u);
  EventTimer before;
  NewTimer(before, 2);
  EXPECT_EQ(DelayTicks(2, false), 0u);
  EXPECT_TRUE(TimerExpired(before));
}

// On the system's clock: a yielding delay of a minute wakes for a message that
// another thread posts while it waits, and serves it there.
TEST(Delay, AYieldingDelayWakesForMessagesFromOtherThreads) {
  std::promise<void> first_served;
  const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t m, auto, auto) {
    if (m == 0x7E01) first_served.set_value();
    if (m == 0x7E02) PostQuitRequest(0);  // ends the delay
    return std::intptr_t{0};
  });
  std::future<void> served = first_served.get_future();
  std::thread poster([&] {
    PostWindowMessage(w, 0x7E01, 0, 0);
    served.wait();  // the delay is running now
    PostWindowMessage(w, 0x7E02, 0, 0);
  });
  EXPECT_EQ(DelayTicks(Secs2Ticks(60), true), 18u);
  poster.join();
  WindowMessage m;
  ASSERT_TRUE(PeekWindowMessage(m));
  EXPECT_EQ(m.message, kQuitMessage);
  DestroyMessageWindow(w);
}

}  // namespace
