#pragma once
// A millisecond clock that tests set by hand, or that steps on every reading.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "serial/time_base.h"

class FakeClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    now_ = 0;
    step_ = 0;
    SetAdClock(&Read);
  }
  void TearDown() override { SetAdClock(nullptr); }

  static void SetMs(std::uint32_t ms) { now_ = ms; }
  static void AdvanceMs(std::uint32_t ms) { now_ += ms; }  // wraps like the real clock
  static void StepEveryRead(std::uint32_t ms) { step_ = ms; }
  static std::uint32_t NowMs() { return now_; }

 private:
  static std::uint32_t Read() { return now_.fetch_add(step_); }
  static inline std::atomic<std::uint32_t> now_{0};
  static inline std::atomic<std::uint32_t> step_{0};
};
