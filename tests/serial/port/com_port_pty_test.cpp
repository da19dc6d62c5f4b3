#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/com_port_names.h"
#include "platform/message_window.h"
#include "serial/base/result_codes.h"
#include "serial/port/com_port.h"
#include "tests/serial/port/port_fixture.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;

// The modem's road: COM5 is a pseudo-terminal whose far end the test plays.
class PortComponentOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComRegistryFile(registry);
    RegisterComPort(registry, 5, pty.DevicePath());
    port.SetComNumber(5);
    port.SetHWFlowOptions({hwfUseDTR, hwfUseRTS});
    port.SetBaud(115200);
  }
  void TearDown() override { SetComRegistryFile(""); }

  struct Ended {
    std::int32_t found;
    TWaitEnd end;
  };
  // A wait for "K" on another thread, which says what ended it.
  std::future<Ended> WaitForK(std::int32_t ticks) {
    return std::async(std::launch::async, [this, ticks] {
      TWaitEnd end = weFound;
      const std::int32_t found = port.WaitForInput([](char c) { return c == 'K' ? 7 : 0; }, ticks, false, end);
      return Ended{found, end};
    });
  }

  // The far end answers the next command of `length` bytes with `reply`.
  std::future<std::string> Answer(std::size_t length, std::string reply) {
    return std::async(std::launch::async, [this, length, reply] {
      std::string command = pty.Receive(length);
      pty.Send(reply);
      return command;
    });
  }

  TempDir dir;
  std::string registry = dir.File("registry.reg");
  PseudoTerminal pty;
  TDevaComPort port{nullptr};
};

TEST_F(PortComponentOnPty, ACommandLeavesByteExactAndItsReplyIsAwaited) {
  port.SetOpen(true);
  auto far = Answer(3, "\r\nOK\r\n");
  port.PutString("AT\r");
  EXPECT_TRUE(port.WaitForString("OK", 100, false, true));
  EXPECT_EQ(far.get(), "AT\r");
}

TEST_F(PortComponentOnPty, ASecondOpenOfTheSameDeviceIsRefused) {
  port.SetOpen(true);
  TDevaComPort other(nullptr);
  other.SetComNumber(5);
  EXPECT_EQ(CodeOf([&] { other.SetOpen(true); }), ecAlreadyOpen);
  EXPECT_FALSE(other.Open());
  EXPECT_TRUE(port.Open());
}

TEST_F(PortComponentOnPty, OpenedOnOneThreadThenClosedAndOpenedAgainOnAnotherThatServesNoMessages) {
  port.SetOpen(true);
  std::thread worker([&] {
    port.SetOpen(false);
    EXPECT_EQ(port.PortState(), psClosed);
    port.SetOpen(true);
    auto far = Answer(5, "OK\r\n");
    port.PutString("ATE0\r");
    EXPECT_TRUE(port.WaitForString("OK", 100, false, true));
    EXPECT_EQ(far.get(), "ATE0\r");
    port.SetOpen(false);
    EXPECT_EQ(port.PortState(), psClosed);
    port.SetOpen(true);  // left open for the main thread to free
  });
  worker.join();
  EXPECT_TRUE(port.Open());
}

TEST_F(PortComponentOnPty, AHangUpOfTheFarEndEndsAWaitCleanly) {
  port.SetOpen(true);
  auto wait = WaitForK(1000);
  ASSERT_TRUE(WaitUntil([&] { return port.GetDispatcher()->EventBusy.load(); }));
  pty.HangUp();
  ASSERT_EQ(wait.wait_for(20s), std::future_status::ready);  // long before its 55 s
  const Ended e = wait.get();
  EXPECT_EQ(e.found, 0);
  EXPECT_EQ(e.end, wePortClosed);  // not a time that ran out
  EXPECT_NE(port.GetLastWinError(), 0);
}

TEST_F(PortComponentOnPty, AClosePerformedWhileAnotherThreadWaitsEndsTheWaitAndCompletes) {
  for (const bool windowServed : {true, false}) {
    port.SetOpen(true);
    auto wait = WaitForK(1000);
    ASSERT_TRUE(WaitUntil([&] { return port.GetDispatcher()->EventBusy.load(); }));
    port.SetOpen(false);
    ASSERT_EQ(wait.wait_for(20s), std::future_status::ready);
    const Ended e = wait.get();
    EXPECT_EQ(e.found, 0);  // the port closed: its text was not seen
    EXPECT_EQ(e.end, wePortClosed);
    if (windowServed) {
      // Completed on the port window's thread once the wait has let go.
      EXPECT_TRUE(WaitUntil([&] {
        ProcessWindowMessages();
        return port.PortState() == psClosed;
      }));
    } else {
      // Or, with nobody serving the window, by the next call on the port.
      port.SetOpen(false);
      EXPECT_EQ(port.PortState(), psClosed);
    }
    EXPECT_FALSE(port.Open());
  }
}

// Whether a wait sleeps meanwhile is port_bench's figure; here, what ends it.
TEST_F(PortComponentOnPty, AWaitEndsWhenItsTextArrivesOrWhenItsTimeRunsOut) {
  port.SetOpen(true);
  EXPECT_FALSE(port.WaitForString("OK", 2, false, true));  // two ticks with nothing arriving
  Ended e = WaitForK(2).get();
  EXPECT_EQ(e.found, 0);
  EXPECT_EQ(e.end, weTimedOut);

  auto wait = std::async(std::launch::async, [&] { return port.WaitForString("OK", 1000, false, true); });
  ASSERT_TRUE(WaitUntil([&] { return port.GetDispatcher()->EventBusy.load(); }));
  pty.Send("\r\nOK\r\n");
  ASSERT_EQ(wait.wait_for(20s), std::future_status::ready);  // long before its 55 s
  EXPECT_TRUE(wait.get());

  auto k = WaitForK(1000);
  ASSERT_TRUE(WaitUntil([&] { return port.GetDispatcher()->EventBusy.load(); }));
  pty.Send("OK");
  ASSERT_EQ(k.wait_for(20s), std::future_status::ready);
  e = k.get();
  EXPECT_EQ(e.found, 7);
  EXPECT_EQ(e.end, weFound);
}

// The worker's reply loops: let the port run, take what is ready, look again.
// What such a loop costs while nothing arrives is port_bench's figure.
TEST_F(PortComponentOnPty, ALoopPollingForAReplyFindsNothingUntilItArrives) {
  port.SetOpen(true);
  for (int i = 0; i < 3; ++i) {  // each turn returns within a tick
    port.ProcessCommunications();
    ASSERT_FALSE(port.CharReady());
  }

  auto far = Answer(3, "\r\nOK\r\n");
  port.PutString("AT\r");
  std::string reply;
  EXPECT_TRUE(WaitUntil([&] {
    port.ProcessCommunications();
    while (port.CharReady()) reply += port.GetChar();
    return reply.find("OK") != std::string::npos;
  }));
  EXPECT_EQ(far.get(), "AT\r");
}

}  // namespace
