#include <gtest/gtest.h>

#include "platform/errno_map.h"
#include "platform/thread.h"
#include "serial/base/result_codes.h"
#include "tests/serial/dispatch/test_dispatcher.h"
#include "tests/support/message_box_answers.h"

namespace {

class Lines : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(4096, 4096), 0); }
  TCommDcb Device() {
    TCommDcb dcb;
    d.Fake().GetState(dcb);
    return dcb;
  }

  TTestDispatcher d{std::make_unique<FakeCommDevice>()};
};

TEST_F(Lines, SetLineKeepsWhatItIsToldToKeepAndSetsTheRest) {
  struct Case {
    std::int32_t baud;
    std::uint32_t parity;
    std::int8_t dataBits, stopBits;
    std::uint32_t wantBaud;
    std::uint8_t wantParity, wantSize, wantStop;  // stop: 0 one, 1 one and a half, 2 two
  };
  const Case cases[] = {
      {9600, 2, 7, 1, 9600, 2, 7, 0},
      {0, 5, 5, 2, 115200, 0, 5, 1},  // five data bits: one and a half stop bits
      {0, 5, 5, 3, 115200, 0, 5, 1},
      {0, 5, 9, 2, 115200, 0, 8, 2},
      {0, 4, 9, 0, 115200, 4, 8, 0},  // below one: one
      {0, 5, 6, 7, 115200, 0, 6, 2},  // above two: two
  };
  for (const Case& c : cases) {
    TTestDispatcher fresh(std::make_unique<FakeCommDevice>());
    ASSERT_EQ(fresh.Open(), 0);
    EXPECT_EQ(fresh.SetLine(c.baud, c.parity, c.dataBits, c.stopBits), 0);
    TCommDcb dcb;
    fresh.Fake().GetState(dcb);
    EXPECT_EQ(dcb.BaudRate, c.wantBaud);
    EXPECT_EQ(dcb.Parity, c.wantParity);
    EXPECT_EQ(dcb.ByteSize, c.wantSize);
    EXPECT_EQ(dcb.StopBits, c.wantStop) << int{c.dataBits} << " " << int{c.stopBits};
    EXPECT_TRUE(dcb.Flags.fBinary && dcb.Flags.fTXContinueOnXoff && !dcb.Flags.fParity);
  }
}

TEST_F(Lines, SetLineThatChangesNothingTouchesNothing) {
  const int calls = d.Fake().SetStateCalls();
  EXPECT_EQ(d.SetLine(0, 5, 9, 3), 0);
  EXPECT_EQ(d.SetLine(115200, 0, 8, 1), 0);
  EXPECT_EQ(d.Fake().SetStateCalls(), calls);

  std::int32_t baud;
  std::uint16_t parity;
  std::int8_t dataBits, stopBits;
  ASSERT_EQ(d.SetLine(0, 5, 5, 2), 0);
  d.GetLine(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 115200);
  EXPECT_EQ(dataBits, 5);
  EXPECT_EQ(stopBits, 2);  // one and a half reads as two
}

TEST(BaudLookup, OldIndexCodesBecomeRates) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0xFEFF, 115200}, {0xFF10, 110}, {0xFF17, 14400}, {0xFF1F, 56000},
      {0xFF27, 256000}, {9600, 9600},  {0, 0},          {0xFF19, 0xFF19},
  };
  for (const auto& [code, rate] : cases) EXPECT_EQ(TDevaBaseDispatcher::BaudLookup(code), rate);
}

TEST_F(Lines, ALineChangeWaitsForNoRateAtAll) {
  TCommDcb dcb = Device();
  dcb.BaudRate = 0;  // a device that reports no rate
  d.Fake().SetState(dcb);
  ASSERT_EQ(d.SetLine(0, 5, 7, 3), 0);
  EXPECT_EQ(d.CurrentBaud, 0u);
  EXPECT_EQ(d.SetLine(0, 5, 8, 3), 0);  // no division by the rate
}

TEST_F(Lines, HardwareFlowThresholdsAndHandshakes) {
  const TCommDcb before = Device();
  EXPECT_EQ(d.HWFlowOptions(409, 3686, kHwfUseDtr | kHwfUseRts), ecBadArgument);
  EXPECT_EQ(d.HWFlowOptions(4097, 0, kHwfUseDtr), ecBadArgument);
  EXPECT_EQ(Device(), before);
  EXPECT_EQ(d.HWFlowState(), fcOff + 1);

  ASSERT_EQ(d.HWFlowOptions(3686, 409, kHwfUseDtr | kHwfUseRts), 0);
  const TCommDcb dcb = Device();
  EXPECT_EQ(dcb.XoffLim, 410);
  EXPECT_EQ(dcb.XonLim, 409);
  EXPECT_EQ(dcb.Flags.fDtrControl, kDtrControlHandshake);
  EXPECT_EQ(dcb.Flags.fRtsControl, kRtsControlHandshake);
  EXPECT_EQ(d.HWFlowState(), fcOn + 1);

  // Under handshake the driver owns DTR: nothing is done and RTS is not reached.
  const auto escapes = d.Fake().Escapes().size();
  EXPECT_EQ(d.SetDtr(false), 1);
  EXPECT_TRUE(d.DtrRaised);
  EXPECT_EQ(d.SetModem(false, false), 1);
  EXPECT_TRUE(d.RtsRaised);
  EXPECT_EQ(d.Fake().Escapes().size(), escapes);

  struct Case {
    std::uint32_t options, hold;
    std::int32_t state;
  };
  const Case holds[] = {
      {kHwfUseRts | kHwfRequireCts, kCtsHold, fcCtsHold + 1},
      {kHwfUseRts | kHwfRequireDsr, kDsrHold, fcDsrHold + 1},
      {kHwfUseRts | kHwfRequireCts | kHwfRequireDsr, kCtsHold | kDsrHold, fcCtsHold + 1},
      {kHwfUseRts | kHwfRequireCts, kDsrHold, fcOn + 1},
      {kHwfRequireCts, kCtsHold, fcOn + 1},  // no handshake of ours: not looked at
  };
  for (const Case& c : holds) {
    ASSERT_EQ(d.HWFlowOptions(3686, 409, c.options), 0);
    d.Fake().SetHoldFlags(c.hold);
    EXPECT_EQ(d.HWFlowState(), c.state) << c.options;
  }
}

TEST_F(Lines, SoftwareFlowSettingsAndStates) {
  EXPECT_EQ(d.SWFlowEnable(10, 20, kSwfReceive), ecBadArgument);
  EXPECT_EQ(d.SWFlowState(), fcOff + 1);
  ASSERT_EQ(d.SWFlowEnable(3686, 409, kSwfReceive | kSwfTransmit), 0);
  TCommDcb dcb = Device();
  EXPECT_TRUE(dcb.Flags.fInX && dcb.Flags.fOutX);
  EXPECT_EQ(dcb.XoffLim, 410);
  EXPECT_EQ(dcb.XonLim, 409);
  EXPECT_EQ(dcb.XonChar, 17);
  EXPECT_EQ(dcb.XoffChar, 19);

  const std::pair<std::uint32_t, std::int32_t> states[] = {
      {0, fcOn + 1},
      {kXoffHold, fcXOutHold + 1},
      {kXoffSent, fcXInHold + 1},
      {kXoffHold | kXoffSent, fcXBothHold + 1},
  };
  for (const auto& [flags, state] : states) {
    d.Fake().SetHoldFlags(flags);
    EXPECT_EQ(d.SWFlowState(), state) << flags;
  }
  ASSERT_EQ(d.SWFlowChars('a', 'b'), 0);
  EXPECT_EQ(Device().XonChar, 'a');
  ASSERT_EQ(d.SWFlowDisable(), 0);
  EXPECT_EQ(d.SWFlowState(), fcOff + 1);
}

TEST_F(Lines, ModemStatusDeltasAreReportedOnce) {
  d.Fake().SetModemLines(kMsCtsOn | kMsDsrOn);
  d.MapEventsToMS(0);
  EXPECT_EQ(d.GetModemStatus(), kMsCtsOn | kMsDsrOn | kDeltaCts | kDeltaDsr);
  EXPECT_EQ(d.GetModemStatus(), kMsCtsOn | kMsDsrOn);

  d.Fake().SetModemLines(kMsDsrOn | kMsRlsdOn);  // CTS down, DCD up
  d.MapEventsToMS(0);
  EXPECT_TRUE(d.CheckDeltaCTS());
  EXPECT_FALSE(d.CheckDeltaCTS());
  EXPECT_EQ(d.GetModemStatus(), kMsDsrOn | kMsRlsdOn | kDeltaDcd);  // only the CTS delta went
  EXPECT_TRUE(d.CheckDCD());
  EXPECT_FALSE(d.CheckCTS());

  d.RingPending = true;  // a ring event seen by the dispatch thread
  EXPECT_TRUE(d.CheckDeltaRI());
  EXPECT_FALSE(d.CheckDeltaRI());
}

TEST_F(Lines, LineErrorsAreReportedWorstFirstAndOnce) {
  struct Case {
    std::uint32_t errors;
    std::int32_t first, second;
  };
  const Case cases[] = {
      {kCeRxOver | kCeFrame, 1, 0}, {kCeOverrun, 2, 0}, {kCeRxParity | kCeFrame, 3, 0},
      {kCeFrame, 4, 0},             {0, 0, 0},
      {kCeBreak, 9, 9},  // the break stays for CheckLineBreak
  };
  for (const Case& c : cases) {
    d.Fake().AddLineErrors(c.errors);
    d.RefreshStatus();
    EXPECT_EQ(d.GetLineError(), c.first) << c.errors;
    EXPECT_EQ(d.GetLineError(), c.second) << c.errors;
  }
  EXPECT_TRUE(d.CheckLineBreak());
  EXPECT_FALSE(d.CheckLineBreak());
  EXPECT_EQ(d.GetLineError(), 0);
}

// Reads the device once as the read thread does: a failed read ends it with
// the read-failure code, anything else with `otherwise`.
class Reader : public TThread {
 public:
  Reader(TDevaWin32Dispatcher& d, CommDevice& device, std::int32_t otherwise)
      : d_(d), device_(device), otherwise_(otherwise) {}

 protected:
  void Execute() override {
    d_.ThreadStart(this);
    std::uint8_t buffer[256];
    SetReturnValue(device_.Read(buffer) < 0 ? ecDeviceRead : otherwise_);
    d_.ThreadGone(this);
  }

 private:
  TDevaWin32Dispatcher& d_;
  CommDevice& device_;
  std::int32_t otherwise_;
};

TEST_F(Lines, AFailedReadReachesGetLineErrorOnce) {
  d.Fake().FailReads(kSysDeviceNotConnected);
  Reader reader(d, d.Fake(), 0);
  d.ReadThread = &reader;
  reader.Start();
  reader.WaitFor();
  EXPECT_EQ(d.ReadThread, nullptr);
  EXPECT_EQ(d.ActiveThreads, 0);
  EXPECT_EQ(d.GetLineError(), 10);
  EXPECT_EQ(d.GetLineError(), 0);
}

TEST_F(Lines, AFailedPutKeepsWhatGetLineErrorHasNotReadYet) {
  struct Case {
    const char* what;
    bool threadFailed;
    std::uint32_t gathered, withThePut;
    std::int32_t first;
  };
  const Case cases[] = {
      {"a failed thread", true, 0, 0, 10},
      {"a failed thread, then an overrun", true, 0, kCeOverrun, 10},
      {"a framing error gathered before", false, kCeFrame, 0, 4},
      {"an overrun that comes with the put", false, 0, kCeOverrun, 2},
  };
  for (const Case& c : cases) {
    TTestDispatcher fresh(std::make_unique<FakeCommDevice>());
    ASSERT_EQ(fresh.Open(), 0);
    if (c.threadFailed) {
      fresh.Fake().FailReads(kSysDeviceNotConnected);
      Reader reader(fresh, fresh.Fake(), 0);
      reader.Start();
      reader.WaitFor();
    }
    fresh.Fake().AddLineErrors(c.gathered);
    fresh.RefreshStatus();
    fresh.Fake().AddLineErrors(c.withThePut);
    fresh.KillThreads = true;  // as a failing thread leaves it: nothing is queued any more
    EXPECT_EQ(fresh.PutString("AT\r"), ecPutBlockFail) << c.what;
    EXPECT_EQ(fresh.GetLineError(), c.first) << c.what;
    EXPECT_EQ(fresh.GetLineError(), 0) << c.what;
  }
}

TEST_F(Lines, AThreadEndingWithAnotherCodeIsShownAndTheLineStaysClean) {
  MessageBoxAnswers answers;
  Reader reader(d, d.Fake(), ecNoMem);
  reader.Start();
  reader.WaitFor();
  ASSERT_EQ(answers.Asked().size(), 1u);
  EXPECT_EQ(answers.Asked()[0].icon, MbIcon::Error);
  EXPECT_EQ(d.GetLineError(), 0);
}

}  // namespace
