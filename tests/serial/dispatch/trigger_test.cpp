#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "serial/base/result_codes.h"
#include "tests/serial/base/fake_clock.h"
#include "tests/serial/dispatch/notice_recorder.h"
#include "tests/serial/dispatch/test_dispatcher.h"

namespace {

// A dispatcher whose dispatch thread the test plays: Feed hands bytes over as
// the read thread does and runs the receive checks as the dispatch thread does.
class Triggers : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(), 0); }

  void Feed(std::string_view bytes) {
    auto block = std::make_unique<TDataBuffer>(static_cast<std::int32_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), block->Block.get());
    block->Filled = static_cast<std::uint32_t>(bytes.size());
    d.InputQueue.Push(std::move(block));
    while (d.ExtractData() && d.InputQueue.Count() > 0) {
    }
    if (d.EventBusy) return;  // a wait has the input: no checks
    while (d.CheckReceiveTriggers()) {
    }
  }

  // The input positions (1-based) after which a data notification came, feeding byte by byte.
  std::vector<std::size_t> DataFiredAt(std::string_view input) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < input.size(); ++i) {
      const std::size_t before = DataNotices();
      Feed(input.substr(i, 1));
      if (DataNotices() > before) at.push_back(i + 1);
    }
    return at;
  }

  std::size_t DataNotices() const {
    std::size_t n = 0;
    for (const Notice& notice : notices.Notices()) n += notice.msg == kNotifyData;
    return n;
  }

  TTestDispatcher d{std::make_unique<FakeCommDevice>()};
  NoticeRecorder notices{d};
};

TEST_F(Triggers, HandlesAreMultiplesOfEightWithTheStatusTypeBelowAndTheLengthTriggerIsOne) {
  EXPECT_EQ(d.AddTimerTrigger(), 8);
  EXPECT_EQ(d.AddDataTrigger("OK", false), 16);
  EXPECT_EQ(d.AddDataTriggerLen("x", false, 0), 24);
  EXPECT_EQ(d.AddStatusTrigger(3), 35);
  EXPECT_EQ(d.AddStatusTrigger(6), ecBadArgument);
  EXPECT_EQ(d.AddDataTriggerLen("123456789012345678901", false, 21), 40);
  EXPECT_EQ(d.AddDataTriggerLen("1234567890123456789012", false, 22), ecTriggerTooLong);

  d.ChangeLengthTrigger(5);
  EXPECT_EQ(d.RemoveTrigger(kLengthTriggerHandle), 0);
  EXPECT_EQ(d.LengthTrigger, 0u);
  EXPECT_EQ(d.RemoveTrigger(0), ecBadTriggerHandle);
  EXPECT_EQ(d.RemoveTrigger(35), 0);
  EXPECT_EQ(d.RemoveTrigger(35), ecBadTriggerHandle);
  EXPECT_EQ(d.SetTimerTrigger(16, 1, true), ecBadTriggerHandle);  // a data trigger
  EXPECT_EQ(d.SetStatusTrigger(8, 0, true), ecBadTriggerHandle);  // a timer trigger
}

TEST_F(Triggers, OnceTheCounterIsSpentTheLowestFreeHandleUpTo4096IsReused) {
  d.AddTimerTrigger();                 // 8
  d.AddTimerTrigger();                 // 16
  EXPECT_EQ(d.AddStatusTrigger(2), 26);
  EXPECT_EQ(d.RemoveTrigger(16), 0);
  d.NextTriggerHandle = 4096;
  EXPECT_EQ(d.AddTimerTrigger(), 16);
  EXPECT_EQ(d.AddTimerTrigger(), 32);  // 24 is the status trigger's
  for (int i = 0; i < 508; ++i) ASSERT_GT(d.AddDataTrigger("a", false), 0) << i;
  EXPECT_EQ(d.TimerTriggerList.size() + d.DataTriggerList.size() + d.StatusTriggerList.size(), 512u);
  EXPECT_EQ(d.AddTimerTrigger(), ecNoMoreTriggers);
}

TEST_F(Triggers, DataTriggersFireOnEveryCompletionAsTheirSlotsAllow) {
  struct Case {
    const char* pattern;
    bool ignoreCase;
    const char* input;
    std::vector<std::size_t> firesAt;
  };
  const Case cases[] = {
      {"aa", false, "aaa", {2, 3}},
      {"aba", false, "ababa", {3, 5}},
      {"abab", false, "ababab", {4}},
      {"OK", false, "ok", {}},
      {"OK", true, "ok", {2}},
      {"OK", true, "Ok", {2}},
      {"OK", true, "xOK", {3}},
      {"\xEE\xEA", true, "\xCE\xCA", {2}},  // Cyrillic letters, in either case
      {"", false, "aaa", {}},
  };
  for (const Case& c : cases) {
    const std::int32_t h = d.AddDataTrigger(c.pattern, c.ignoreCase);
    EXPECT_EQ(DataFiredAt(c.input), c.firesAt) << c.pattern << " in " << c.input;
    d.RemoveTrigger(static_cast<std::uint32_t>(h));
  }
}

TEST_F(Triggers, BytesBeforeAPatternAreAnnouncedFirstAndTwoCompletionsGoLastAddedFirst) {
  d.ChangeLengthTrigger(1);
  const std::int32_t ok = d.AddDataTrigger("OK", false);
  const std::int32_t k = d.AddDataTrigger("K", false);
  Feed("xxOK");
  const std::vector<Notice> expected = {
      {kNotifyAvail, 2, NoticeParam(d, 0)},  // xx: the bytes before the longer pattern
      {kNotifyData, static_cast<std::uint32_t>(k), NoticeParam(d, 1)},
      {kNotifyData, static_cast<std::uint32_t>(ok), NoticeParam(d, 2)},
      {kNotifyAvail, 4, NoticeParam(d, 0)},  // then all that nobody read
  };
  EXPECT_EQ(notices.Notices(), expected);
  // Nothing further until new bytes come, whatever the handlers read.
  EXPECT_FALSE(d.CheckReceiveTriggers());
  Feed("y");
  EXPECT_EQ(notices.Notices().back(), (Notice{kNotifyAvail, 5, NoticeParam(d, 0)}));
}

TEST_F(Triggers, BytesAReaderTookBeforeTheChecksRanAreNotMatchedNorAnnounced) {
  d.ChangeLengthTrigger(1);
  d.AddDataTrigger("OK", false);
  // Received during a wait, which took most of it before the checks came round.
  bool was;
  d.SetEventBusy(was, true);
  Feed("xxOK");
  std::string three(3, 0);
  ASSERT_EQ(d.GetBlock(three), 3);
  d.SetEventBusy(was, false);
  while (d.CheckReceiveTriggers()) {
  }
  EXPECT_EQ(notices.Notices(), (std::vector<Notice>{{kNotifyAvail, 1, NoticeParam(d, 0)}}));
}

TEST_F(Triggers, AHandlerThatReadsFewerBytesThanAnnouncedMovesTheTailByWhatItRead) {
  d.ChangeLengthTrigger(1);
  notices.During = [&](const Notice&) {
    std::string three(3, 0);
    EXPECT_EQ(d.GetBlock(three), 3);
    EXPECT_EQ(three, "abc");
  };
  Feed("abcde");
  ASSERT_EQ(notices.Count(), 1u);
  EXPECT_EQ(d.InTail, 3u);
  EXPECT_EQ(d.InBuffUsed(), 2u);
  EXPECT_FALSE(d.EventBusy);
  EXPECT_FALSE(d.CheckReceiveTriggers());  // no further avail until more bytes come
  EXPECT_EQ(notices.Count(), 1u);
}

TEST_F(Triggers, StatusTriggersFireOnceOnTheirStateAndAreArmedAgainBySetStatusTrigger) {
  const auto h = [](std::int32_t handle) { return static_cast<std::uint32_t>(handle); };
  const std::uint32_t dcd = h(d.AddStatusTrigger(1));
  const std::uint32_t errors = h(d.AddStatusTrigger(2));
  const std::uint32_t used = h(d.AddStatusTrigger(4));
  const std::uint32_t sent = h(d.AddStatusTrigger(5));
  const std::uint32_t never = h(d.AddStatusTrigger(0));
  EXPECT_EQ(d.SetStatusTrigger(dcd, kMsRlsdOn, true), 0);
  EXPECT_EQ(d.SetStatusTrigger(errors, 4, true), 0);  // framing
  EXPECT_EQ(d.SetStatusTrigger(used, 0, true), 0);
  EXPECT_EQ(d.SetStatusTrigger(never, 0, true), 0);
  // The output ring is empty: the used-count trigger fires at once, with 0.
  EXPECT_TRUE(d.CheckStatusTriggers());
  EXPECT_EQ(notices.Notices(), (std::vector<Notice>{{kNotifyStatus, used, NoticeParam(d, 0)}}));

  d.ResetStatusHits();
  d.Fake().SetModemLines(kMsRlsdOn);
  d.GetModemStatusPrim(0xFF);
  EXPECT_TRUE(d.CheckStatusTriggers());
  d.ResetStatusHits();
  d.Fake().SetModemLines(0);  // back again: not until re-armed
  d.GetModemStatusPrim(0xFF);
  EXPECT_FALSE(d.CheckStatusTriggers());
  d.SetStatusTrigger(dcd, kMsRlsdOn, true);
  d.Fake().SetModemLines(kMsRlsdOn);
  d.GetModemStatusPrim(0xFF);
  EXPECT_TRUE(d.CheckStatusTriggers());

  d.Fake().AddLineErrors(kCeOverrun);
  d.RefreshStatus();
  EXPECT_FALSE(d.CheckStatusTriggers());  // not a framing error
  d.Fake().AddLineErrors(kCeFrame);
  d.RefreshStatus();
  EXPECT_TRUE(d.CheckStatusTriggers());

  d.SetStatusTrigger(sent, 0, true);
  d.OutputSentPending = false;
  EXPECT_FALSE(d.CheckStatusTriggers());
  d.PutString("AT\r");
  EXPECT_TRUE(d.CheckStatusTriggers());
  EXPECT_FALSE(d.OutputSentPending);

  std::vector<std::uint32_t> fired;
  for (const Notice& n : notices.Notices()) fired.push_back(n.wparam);
  EXPECT_EQ(fired, (std::vector<std::uint32_t>{used, dcd, dcd, errors, sent}));
}

class TimerTriggers : public FakeClockTest {
 protected:
  void SetUp() override {
    FakeClockTest::SetUp();
    ASSERT_EQ(d.Open(), 0);
  }
  TTestDispatcher d{std::make_unique<FakeCommDevice>()};
  NoticeRecorder notices{d};
};

TEST_F(TimerTriggers, ATimerFiresOnceAfterItsTicksAndRestartsWithItsLastLength) {
  const auto h = static_cast<std::uint32_t>(d.AddTimerTrigger());
  EXPECT_EQ(d.SetTimerTrigger(h, 2, true), 0);
  std::int32_t left = -1;
  EXPECT_EQ(d.TimerTicksRemaining(h, left), 0);
  EXPECT_EQ(left, 2);
  AdvanceMs(2 * kTickMs);
  EXPECT_FALSE(d.CheckTimerTriggers());
  AdvanceMs(kTickMs);
  EXPECT_TRUE(d.CheckTimerTriggers());
  EXPECT_FALSE(d.CheckTimerTriggers());  // once per start
  EXPECT_EQ(notices.Notices(), (std::vector<Notice>{{kNotifyTimer, h, NoticeParam(d, 0)}}));

  EXPECT_EQ(d.SetTimerTrigger(h, 0, true), 0);  // the last length, 2 ticks
  EXPECT_EQ(d.ExtendTimer(h, 1), 0);
  AdvanceMs(3 * kTickMs);
  EXPECT_FALSE(d.CheckTimerTriggers());
  AdvanceMs(kTickMs);
  EXPECT_TRUE(d.CheckTimerTriggers());

  d.SetTimerTrigger(h, 5, true);
  d.SetTimerTrigger(h, 0, false);  // stopped: it never fires
  AdvanceMs(10 * kTickMs);
  EXPECT_FALSE(d.CheckTimerTriggers());

  // However far it is extended, a timer runs no longer than the longest there is.
  d.SetTimerTrigger(h, 2, true);
  EXPECT_EQ(d.ExtendTimer(h, std::numeric_limits<std::int32_t>::max()), 0);
  EXPECT_EQ(d.TimerTicksRemaining(h, left), 0);
  EXPECT_EQ(left, kMaxTimerTicks);
  EXPECT_EQ(d.TimerTicksRemaining(99, left), ecBadTriggerHandle);
  EXPECT_EQ(left, 0);
}

TEST_F(Triggers, SavedTriggersComeBackWithTheirHandlesAndNewOnesDoNotCollide) {
  d.ChangeLengthTrigger(3);
  const std::int32_t data = d.AddDataTrigger("OK", true);
  const std::int32_t status = d.AddStatusTrigger(4);
  d.SetStatusTrigger(static_cast<std::uint32_t>(status), 10, true);
  TTriggerSave save;
  d.SaveTriggers(save);
  d.DonePort();

  TTestDispatcher other(std::make_unique<FakeCommDevice>());
  ASSERT_EQ(other.Open(), 0);
  other.RestoreTriggers(save);
  EXPECT_EQ(other.LengthTrigger, 3u);
  ASSERT_EQ(other.DataTriggerList.size(), 1u);
  EXPECT_EQ(other.DataTriggerList[0]->Handle, static_cast<std::uint32_t>(data));
  EXPECT_TRUE(other.DataTriggerList[0]->IgnoreCase);
  ASSERT_EQ(other.StatusTriggerList.size(), 1u);
  EXPECT_TRUE(other.StatusTriggerList[0]->Armed);
  EXPECT_EQ(other.AddTimerTrigger(), 24);  // past the restored 8 and 20
  TDevaBaseDispatcher::ClearSaveBuffers(save);
  EXPECT_TRUE(save.DataTriggers.empty());
}

TEST_F(Triggers, SmallOperationsKeepTheirSlotsAndBits) {
  int value = 0;
  void* p = nullptr;
  EXPECT_EQ(d.SetDataPointer(&value, 3), 0);
  EXPECT_EQ(d.GetDataPointer(p, 3), 0);
  EXPECT_EQ(p, &value);
  EXPECT_EQ(d.SetDataPointer(&value, 4), ecBadArgument);
  EXPECT_EQ(d.GetDataPointer(p, 0), ecBadArgument);

  d.OptionsOn(0x5);
  d.OptionsOff(0x1);
  EXPECT_TRUE(d.OptionsAreOn(0x4));
  EXPECT_FALSE(d.OptionsAreOn(0x5));

  ASSERT_EQ(d.HWFlowOptions(3686, 409, kHwfUseDtr | kHwfUseRts | kHwfRequireCts), 0);
  ASSERT_EQ(d.SWFlowEnable(3686, 409, kSwfTransmit), 0);
  std::uint32_t hw, sw, full = 7, resume = 8;
  char on, off;
  EXPECT_EQ(d.GetFlowOptions(hw, sw, full, resume, on, off), 0);
  EXPECT_EQ(hw, kHwfUseDtr | kHwfUseRts | kHwfRequireCts);
  EXPECT_EQ(sw, kSwfTransmit);
  EXPECT_EQ(full, 7u);  // left as passed
  EXPECT_EQ(on, 17);
  EXPECT_EQ(off, 19);

  EXPECT_EQ(d.ChangeBaud(9600), 0);
  std::int32_t baud;
  std::uint16_t parity;
  std::int8_t bits, stops;
  d.GetLine(baud, parity, bits, stops);
  EXPECT_EQ(baud, 9600);
  EXPECT_EQ(bits, 8);
}

}  // namespace
