#pragma once
// A millisecond clock that tests set by hand, or that steps on every reading.
// A delay on it takes no real time: when the delay would block and nothing it
// awaits is there yet, the clock jumps by the time the delay asked to pass.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>

#include "serial/base/time_base.h"

class FakeClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    now_ = 0;
    step_ = 0;
    reads_ = 0;
    SetAdClock(&Read, &Pass);
  }
  void TearDown() override { SetAdClock(nullptr); }

  static void SetMs(std::uint32_t ms) { now_ = ms; }
  static void AdvanceMs(std::uint32_t ms) { now_ += ms; }  // wraps like the real clock
  static void StepEveryRead(std::uint32_t ms) { step_ = ms; }
  static std::uint32_t NowMs() { return now_; }
  static std::uint32_t Reads() { return reads_; }

 private:
  static std::uint32_t Read() {
    ++reads_;
    return now_.fetch_add(step_);
  }
  static void Pass(std::uint32_t ms, AdWait wait) {
    if (!wait(std::chrono::milliseconds(0))) now_ += ms;
  }
  static inline std::atomic<std::uint32_t> now_{0};
  static inline std::atomic<std::uint32_t> step_{0};
  static inline std::atomic<std::uint32_t> reads_{0};
};
