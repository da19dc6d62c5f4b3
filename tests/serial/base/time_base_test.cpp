#include <gtest/gtest.h>

#include <climits>

#include "serial/base/time_base.h"
#include "tests/serial/base/fake_clock.h"

namespace {

constexpr std::uint32_t kTick = 55;
constexpr std::uint64_t kWrap = std::uint64_t{1} << 32;

using TimerTest = FakeClockTest;

TEST(TimeBase, ConversionsBetweenTicksSecondsAndMilliseconds) {
  struct Case {
    std::int32_t (*f)(std::int32_t);
    std::int32_t in, out;
  };
  const Case cases[] = {
      {Ticks2Secs, 0, 0},        {Ticks2Secs, 9, 0},       {Ticks2Secs, 10, 1},
      {Ticks2Secs, 27, 1},       {Ticks2Secs, 100, 5},     {Ticks2Secs, 1000, 55},
      {Secs2Ticks, 1, 18},       {Secs2Ticks, 5, 91},      {Secs2Ticks, 10, 182},
      {Secs2Ticks, 60, 1092},    {MSecs2Ticks, 54, 0},     {MSecs2Ticks, 55, 1},
      {MSecs2Ticks, 100, 1},     {MSecs2Ticks, 1000, 18},
      // Beyond the small arguments the products stay exact.
      {Secs2Ticks, 2000000, 36413043}, {Ticks2Secs, 39045157, 2144570},
  };
  for (const Case& c : cases) EXPECT_EQ(c.f(c.in), c.out) << c.in;
}

TEST_F(TimerTest, ExpiresOnlyAfterTheTickOfItsExpiry) {
  SetMs(100 * kTick + 30);
  EventTimer t;
  NewTimer(t, 10);
  EXPECT_EQ(t.StartTicks, 100);
  EXPECT_EQ(t.ExpireTicks, 110);
  SetMs(105 * kTick);
  EXPECT_FALSE(TimerExpired(t));
  EXPECT_EQ(ElapsedTime(t), 5);
  EXPECT_EQ(RemainingTime(t), 5);
  EXPECT_EQ(MSecsToExpiry(t), 6 * kTick);
  SetMs(110 * kTick + 54);
  EXPECT_FALSE(TimerExpired(t));  // the expiry tick itself
  EXPECT_EQ(MSecsToExpiry(t), 1u);
  SetMs(111 * kTick);
  EXPECT_TRUE(TimerExpired(t));
  EXPECT_EQ(MSecsToExpiry(t), 0u);
  SetMs(500 * kTick);
  EXPECT_EQ(RemainingTime(t), 0);
  EXPECT_EQ(RemainingTimeInSecs(t), 0);
  EXPECT_EQ(ElapsedTimeInSecs(t), Ticks2Secs(400));
}

TEST_F(TimerTest, ZeroNegativeAndOverlongLengths) {
  SetMs(7 * kTick);
  EventTimer zero;
  NewTimer(zero, 0);
  SetMs(7 * kTick + 54);
  EXPECT_FALSE(TimerExpired(zero));
  SetMs(8 * kTick);
  EXPECT_TRUE(TimerExpired(zero));

  EventTimer negative;
  NewTimer(negative, -5);
  EXPECT_TRUE(TimerExpired(negative));
  EXPECT_EQ(RemainingTime(negative), 0);

  for (std::int32_t ticks : {kMaxTimerTicks + 1, INT32_MAX}) {
    EventTimer t;
    NewTimer(t, ticks);
    EXPECT_EQ(t.ExpireTicks - t.StartTicks, kMaxTimerTicks);
  }
  EventTimer secs;
  NewTimerSecs(secs, 10);
  EXPECT_EQ(secs.ExpireTicks - secs.StartTicks, 182);
}

TEST_F(TimerTest, MeasuresAcrossTheClockWrap) {
  struct Case {
    std::uint64_t start_ms;  // below 2^32
    std::int32_t ticks;
    std::uint64_t probe_ms;  // may pass 2^32: the clock reads it modulo 2^32
    bool expired;
    std::int32_t remaining;
  };
  const std::uint64_t top = kWrap - 100;  // a little before the wrap
  const Case cases[] = {
      {top, 10, top + 5 * kTick, false, 5},
      {top, 10, top + 10 * kTick, false, 0},
      {top, 10, top + 12 * kTick, true, 0},
      // Would never end if the expiry tick were compared with a tick that restarted at 0.
      {kWrap - 14 * kTick, 100, kWrap + 90 * kTick, true, 0},
      // A long timer is not over just because the tick restarted.
      {kWrap - 1000, 1000000, kWrap + 10, false, 1000000 - 19},
      {kWrap - 1000, kMaxTimerTicks, kWrap + 1000 * kTick, false, kMaxTimerTicks - 1018},
  };
  for (const Case& c : cases) {
    SetMs(static_cast<std::uint32_t>(c.start_ms));
    EventTimer t;
    NewTimer(t, c.ticks);
    SetMs(static_cast<std::uint32_t>(c.probe_ms % kWrap));
    EXPECT_EQ(TimerExpired(t), c.expired) << c.start_ms << " " << c.probe_ms;
    EXPECT_NEAR(RemainingTime(t), c.remaining, 1) << c.start_ms << " " << c.probe_ms;
    EXPECT_GE(ElapsedTime(t), 0);
    // The milliseconds left end exactly where the timer expires.
    const std::uint32_t left = MSecsToExpiry(t);
    EXPECT_EQ(left == 0, c.expired) << c.start_ms << " " << c.probe_ms;
    if (left > 0) {
      SetMs(static_cast<std::uint32_t>((c.probe_ms + left - 1) % kWrap));
      EXPECT_FALSE(TimerExpired(t)) << c.start_ms << " " << c.probe_ms;
      SetMs(static_cast<std::uint32_t>((c.probe_ms + left) % kWrap));
      EXPECT_TRUE(TimerExpired(t)) << c.start_ms << " " << c.probe_ms;
    }
  }
}

}  // namespace
