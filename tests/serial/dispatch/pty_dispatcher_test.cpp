#include <gtest/gtest.h>

#include <future>
#include <string>

#include "platform/errno_map.h"
#include "tests/serial/dispatch/port_io.h"
#include "tests/serial/dispatch/pty_port.h"
#include "tests/support/wait_until.h"

namespace {

TEST_F(PtyPort, BytesGoBothWaysAtOnceExactlyAsSent) {
  const std::string toPort = NumberedBytes(300000, 0);
  const std::string fromPort = NumberedBytes(300000, 0x01000000);
  auto farSends = std::async(std::launch::async, [&] { pty.Send(toPort); });
  auto farReceives = std::async(std::launch::async, [&] { return pty.Receive(fromPort.size()); });
  EXPECT_TRUE(PutAll(d, fromPort));
  EXPECT_TRUE(ReadAll(d, toPort.size()) == toPort);
  farSends.get();
  EXPECT_TRUE(farReceives.get() == fromPort);
  EXPECT_EQ(d.InBuffUsed(), 0u);
}

TEST_F(PtyPort, AHangUpOfTheFarEndEndsTheThreadsAsAReadFailure) {
  pty.Send("last words");
  EXPECT_EQ(ReadAll(d, 10), "last words");
  pty.HangUp();
  ASSERT_TRUE(WaitUntil([&] { return d.ActiveThreads == 0; }));
  EXPECT_EQ(d.GetLineError(), 10);
  EXPECT_NE(d.LastThreadError, 0u);
}

TEST_F(PtyPort, AHangUpIsSeenAlsoWhileNobodyReadsAndTheInputIsFull) {
  const std::string sent = NumberedBytes(kInRingSize + 4096 + 512);  // ring, queue, a little in the driver
  pty.Send(sent);
  ASSERT_TRUE(WaitUntil([&] {
    return d.InBuffUsed() == kInRingSize && d.InputQueue.QueuedBytes() >= d.InputQueueLimit();
  }));
  pty.HangUp();
  ASSERT_TRUE(WaitUntil([&] { return d.ActiveThreads == 0; }));
  EXPECT_EQ(d.GetLineError(), 10);
  EXPECT_EQ(d.LastThreadError, static_cast<std::uint32_t>(kSysDeviceNotConnected));
  EXPECT_TRUE(ReadAll(d, kInRingSize) == sent.substr(0, kInRingSize));  // the ring stays readable
}

}  // namespace
