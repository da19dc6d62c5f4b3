#include <gtest/gtest.h>

#include <thread>

#include "platform/event.h"

namespace {

TEST(Event, AutoResetWakesOneWaitPerSettingsBurst) {
  TEvent e;
  EXPECT_EQ(e.Wait(0), WaitResult::Timeout);
  e.Set();
  e.Set();
  EXPECT_EQ(e.Wait(0), WaitResult::Signaled);
  EXPECT_EQ(e.Wait(0), WaitResult::Timeout);
  TEvent initially(false, true);
  EXPECT_EQ(initially.Wait(0), WaitResult::Signaled);
  EXPECT_EQ(initially.Wait(0), WaitResult::Timeout);
}

TEST(Event, ManualResetStaysSetUntilReset) {
  TEvent e(true);
  e.Set();
  EXPECT_EQ(e.Wait(0), WaitResult::Signaled);
  EXPECT_EQ(e.Wait(kInfinite), WaitResult::Signaled);
  e.Reset();
  EXPECT_EQ(e.Wait(10), WaitResult::Timeout);
}

TEST(Event, WaitForAnyTakesTheFirstSetOneOnly) {
  TEvent a, b, c(true);
  TEvent* events[] = {&a, &b, &c};
  EXPECT_EQ(WaitForAnyEvent(events, 0).Result, WaitResult::Timeout);
  b.Set();
  c.Set();
  const AnyWaitResult r = WaitForAnyEvent(events, kInfinite);
  EXPECT_EQ(r.Result, WaitResult::Signaled);
  EXPECT_EQ(r.Index, 1u);
  EXPECT_EQ(b.Wait(0), WaitResult::Timeout);  // taken by the wait
  EXPECT_EQ(WaitForAnyEvent(events, 0).Index, 2u);
}

TEST(Event, ASettingFromAnotherThreadEndsAWaitWithoutLimit) {
  TEvent e;
  std::thread setter([&] { e.Set(); });
  EXPECT_EQ(e.Wait(kInfinite), WaitResult::Signaled);
  setter.join();
}

}  // namespace
