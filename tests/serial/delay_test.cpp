#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/message_window.h"
#include "serial/delay.h"
#include "tests/serial/fake_clock.h"

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

TEST(SafeYield, PutsTheQuitRequestBack) {
  PostQuitRequest(4);
  EXPECT_EQ(SafeYield(), 18u);
  EXPECT_EQ(SafeYield(), 18u);
  WindowMessage m;
  ASSERT_TRUE(PeekWindowMessage(m));
  EXPECT_EQ(m.message, kQuitMessage);
  EXPECT_EQ(m.wparam, 4u);
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
  SetMs(1000);  // the clock stands still: only the quit request can end this wait
  PostQuitRequest(0);
  EXPECT_EQ(DelayTicks(100, true), 18u);
  WindowMessage m;
  ASSERT_TRUE(PeekWindowMessage(m));
  EXPECT_EQ(m.message, kQuitMessage);
}

TEST_F(DelayTest, WaitsItsTicksAlsoAcrossTheClockWrap) {
  for (std::uint32_t start : {1000u, 0xFFFFFFFFu - 30u}) {
    SetMs(start);
    StepEveryRead(1);
    EXPECT_EQ(DelayTicks(3, false), 0u);
    const std::uint32_t waited = NowMs() - start;  // unsigned: across the wrap too
    EXPECT_GE(waited, 3 * 55u - 55u) << start;
    EXPECT_LE(waited, 4 * 55u + 2) << start;
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
}

}  // namespace
