#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <stdexcept>
#include <string>

#include "platform/errno_map.h"
#include "platform/last_error.h"
#include "serial/base/result_codes.h"
#include "serial/base/rtl_exceptions.h"
#include "serial/dispatch/tapi32_dispatcher.h"
#include "tests/serial/dispatch/fake_device_dispatcher.h"
#include "tests/serial/dispatch/notice_recorder.h"
#include "tests/serial/dispatch/port_io.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;

// Ends the run when the watched stretch does not end in time: a hang there is
// the fault looked for, and nothing after it could run.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : thread_([limit, done = done_.get_future()] {
          if (done.wait_for(limit) == std::future_status::timeout) {
            std::fprintf(stderr, "watchdog: still not done after %llds\n",
                         static_cast<long long>(limit.count()));
            std::abort();
          }
        }) {}
  ~Watchdog() {
    done_.set_value();
    thread_.join();
  }

 private:
  std::promise<void> done_;
  std::thread thread_;
};

class Threads : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(), 0); }
  void TearDown() override { d.DonePort(); }  // the threads end before the handlers go

  TFakeDeviceDispatcher d;
  NoticeRecorder notices{d};
};

TEST_F(Threads, BytesAndLineEventsTravelThroughTheThreads) {
  EXPECT_EQ(d.ActiveThreads, 4);
  d.Fake().Send("OK\r\n");
  EXPECT_EQ(ReadAll(d, 4), "OK\r\n");
  EXPECT_EQ(d.PutString("AT\r"), 0);
  EXPECT_TRUE(WaitUntil([&] { return d.Fake().Written() == "AT\r"; }));

  d.Fake().SetModemLines(kMsRingOn);
  d.Fake().SetModemLines(0);  // the ring has ended
  EXPECT_TRUE(WaitUntil([&] { return d.CheckDeltaRI(); }));

  try {
    d.StartDispatcher();
    ADD_FAILURE() << "started twice";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Dispatcher already started.");
  }
  EXPECT_EQ(d.ActiveThreads, 4);
}

TEST_F(Threads, AFullRingStopsTheReadingUntilAReaderMakesRoomAndLosesNothing) {
  const std::string sent = NumberedBytes(40000);
  d.Fake().Send(sent);
  ASSERT_TRUE(WaitUntil([&] {
    return d.InBuffUsed() == kInRingSize && d.InputQueue.QueuedBytes() >= d.InputQueueLimit();
  }));
  EXPECT_GT(d.Fake().Unread(), 0u);  // left in the driver, whose flow control holds the far end
  EXPECT_LE(d.InputQueue.QueuedBytes(), d.InputQueueLimit() + 256);
  EXPECT_EQ(ReadAll(d, sent.size()), sent);
}

TEST_F(Threads, AHangUpIsAReadFailureThatEndsEveryThreadAndReachesTheLineStatus) {
  const auto errors = static_cast<std::uint32_t>(d.AddStatusTrigger(2));
  d.SetStatusTrigger(errors, 0xF, true);
  const std::string last = "NO CARRIER\r\n";
  d.Fake().Send(last);
  d.Fake().HangUp();
  ASSERT_TRUE(WaitUntil([&] { return d.ActiveThreads == 0; }));
  EXPECT_EQ(ReadAll(d, last.size()), last);  // what came before the hang-up stays readable
  EXPECT_FALSE(d.DispatcherActive);
  EXPECT_EQ(d.LastThreadError, static_cast<std::uint32_t>(kSysDeviceNotConnected));
  EXPECT_EQ(notices.Notices(), (std::vector<Notice>{{kNotifyStatus, errors, NoticeParam(d, 0)}}));
  EXPECT_EQ(d.GetLineError(), 10);
  EXPECT_EQ(d.PutString("AT\r"), ecPutBlockFail);  // nothing would send it
}

TEST_F(Threads, WhileAWaitHoldsTheInputBytesArriveButNoTriggerFires) {
  d.ChangeLengthTrigger(1);
  bool was;
  d.SetEventBusy(was, true);
  d.Fake().Send("abc");
  ASSERT_TRUE(WaitUntil([&] { return d.InBuffUsed() == 3; }));
  // Two whole passes of the dispatch thread with the bytes in the ring.
  ASSERT_EQ(d.CycleDoneEvent->Wait(10000), WaitResult::Signaled);
  ASSERT_EQ(d.CycleDoneEvent->Wait(10000), WaitResult::Signaled);
  EXPECT_EQ(notices.Count(), 0u);
  d.SetEventBusy(was, was);
  EXPECT_TRUE(WaitUntil([&] { return notices.Count() == 1; }));
  EXPECT_EQ(notices.Notices()[0], (Notice{kNotifyAvail, 3, NoticeParam(d, 0)}));
}

TEST_F(Threads, AHandlerThatClosesThePortEndsItsOwnThreadWithoutWaitingForIt) {
  Watchdog watchdog(60s);
  d.ChangeLengthTrigger(1);
  notices.During = [&](const Notice&) { d.DonePort(); };
  d.Fake().Send("x");
  ASSERT_TRUE(WaitUntil([&] { return d.ActiveThreads == 0; }));
  EXPECT_TRUE(d.ClosePending);
  EXPECT_EQ(d.ComHandle, -1);
  EXPECT_EQ(d.InRing, nullptr);  // released by the dispatch thread's end
  EXPECT_EQ(notices.Count(), 1u);
}

TEST_F(Threads, TheDispatchThreadSignalsTheGeneralEventAfterItsLastCycle) {
  std::atomic<int> atRelease{0};  // 1 not set, 2 set
  d.BeforeRelease = [&] {
    if (atRelease == 0) atRelease = d.GeneralEvent->Wait(0) == WaitResult::Signaled ? 2 : 1;
  };
  d.ChangeLengthTrigger(1);
  notices.During = [&](const Notice&) {
    d.DonePort();  // ends the other threads; the dispatch thread's end releases the rings
    d.GeneralEvent->Wait(0);  // takes what the flush answers left set
  };
  d.Fake().Send("x");
  ASSERT_TRUE(WaitUntil([&] { return d.ActiveThreads == 0; }));
  EXPECT_EQ(atRelease, 2);
}

TEST_F(Threads, AHandlersExceptionIsShownAndTheDispatchThreadGoesOn) {
  MessageBoxAnswers answers;
  d.ChangeLengthTrigger(1);
  notices.During = [&](const Notice&) {
    if (notices.Count() == 1) throw std::runtime_error("handler failed");
  };
  d.Fake().Send("a");
  ASSERT_TRUE(answers.WaitFor(1));
  d.Fake().Send("b");
  EXPECT_TRUE(WaitUntil([&] { return notices.Count() == 2; }));
  EXPECT_EQ(d.ActiveThreads, 4);
  EXPECT_FALSE(d.EventBusy);
}

TEST_F(Threads, AFlushDropsAStalledWriteAndTheNextOneGoesOut) {
  d.Fake().StallWrites(true);
  ASSERT_EQ(d.PutString(std::string(1000, 'x')), 0);
  ASSERT_TRUE(WaitUntil([&] { return d.OutBuffUsed() == 0; }));  // taken by the write thread
  EXPECT_EQ(d.FlushOutBuffer(), 1);
  d.Fake().StallWrites(false);
  ASSERT_EQ(d.PutString("y"), 0);
  EXPECT_TRUE(WaitUntil([&] { return d.Fake().Written() == "y"; }));
}

TEST_F(Threads, RS485ModeGivesTheWriteThreadOneStepMore) {
  TThread* writer = d.WriteThread.load();
  d.SetRS485Mode(true);
  EXPECT_EQ(writer->Priority(), tpHigher);
  d.SetThreadBoost(tbPlusOne);
  EXPECT_EQ(writer->Priority(), tpHighest);
  d.SetRS485Mode(false);
  EXPECT_EQ(writer->Priority(), tpHigher);
}

TEST(TapiDispatcher, TakesOverADeviceOpenedElsewhereOrReportsItNotOpen) {
  TDevaTAPI32Dispatcher none(nullptr, nullptr);
  EXPECT_EQ(none.InitPort(nullptr, 115200, 0, 8, 1, 4096, 4096, 0), ecCommNotOpen);
  EXPECT_EQ(GetLastSysError(), -ecCommNotOpen);

  auto device = std::make_unique<FakeCommDevice>();
  FakeCommDevice& fake = *device;
  TDevaTAPI32Dispatcher tapi(nullptr, std::move(device));
  ASSERT_EQ(tapi.InitPort(nullptr, 115200, 0, 8, 1, 4096, 4096, 0), 0);
  fake.Send("z");
  EXPECT_EQ(ReadAll(tapi, 1), "z");
  tapi.DonePort();
  EXPECT_EQ(tapi.ComHandle, -1);
}

}  // namespace
