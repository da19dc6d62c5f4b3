#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "serial/base/result_codes.h"
#include "tests/serial/dispatch/test_dispatcher.h"

namespace {

class Rings : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d.Open(4096, 16), 0); }

  TTestDispatcher d{std::make_unique<FakeCommDevice>()};
};

TEST_F(Rings, AFullInputRingIsFullNotEmpty) {
  d.Receive(std::string(kInRingSize, 'x'));
  EXPECT_EQ(d.InHead, d.InTail);
  EXPECT_TRUE(d.InRingFull);
  EXPECT_TRUE(d.CharReady());
  EXPECT_EQ(d.InBuffUsed(), kInRingSize);
  EXPECT_EQ(d.InBuffFree(), 0u);
  char c;
  EXPECT_EQ(d.GetChar(c), 0);
  EXPECT_FALSE(d.InRingFull);
  EXPECT_EQ(d.InBuffUsed(), kInRingSize - 1);
  EXPECT_EQ(d.InBuffFree(), 1u);
}

TEST_F(Rings, BlocksComeInOrderAcrossTheRingsEnd) {
  struct Case {
    std::uint32_t start;
    std::string bytes;
    std::uint32_t tailAfter;
  };
  const Case cases[] = {
      {8190, "abcd", 2},   // wraps after index 8191
      {8190, "xy", 0},     // ends exactly at the end: the tail lands on 0
      {0, "plain", 5},
  };
  for (const Case& c : cases) {
    TTestDispatcher fresh(std::make_unique<FakeCommDevice>());
    ASSERT_EQ(fresh.Open(), 0);
    fresh.Receive(std::string(c.start, '.'));
    std::string skip(c.start, 0);
    ASSERT_EQ(fresh.GetBlock(skip), static_cast<std::int32_t>(c.start));
    fresh.Receive(c.bytes);
    std::string peeked(c.bytes.size(), 0), got(c.bytes.size(), 0);
    EXPECT_EQ(fresh.PeekBlock(peeked), static_cast<std::int32_t>(c.bytes.size()));
    EXPECT_EQ(fresh.GetBlock(got), static_cast<std::int32_t>(c.bytes.size()));
    EXPECT_EQ(peeked, c.bytes);
    EXPECT_EQ(got, c.bytes);
    EXPECT_EQ(fresh.InTail, c.tailAfter) << c.start << " " << c.bytes;
    EXPECT_FALSE(fresh.CharReady());
  }
}

TEST_F(Rings, ReadsAreAllOrNothing) {
  d.Receive("123456789");
  std::string ten(10, 0), none;
  EXPECT_EQ(d.GetBlock(ten), ecBufferIsEmpty);
  EXPECT_EQ(d.PeekBlock(ten), ecBufferIsEmpty);
  EXPECT_EQ(d.GetBlock(none), 0);
  EXPECT_EQ(d.InBuffUsed(), 9u);

  char c = 0;
  EXPECT_EQ(d.PeekChar(c, 9), 0);
  EXPECT_EQ(c, '9');
  EXPECT_EQ(d.PeekChar(c, 10), ecBufferIsEmpty);
  EXPECT_EQ(d.PeekChar(c, 0), ecBufferIsEmpty);  // positions count from 1
  EXPECT_EQ(d.GetChar(c), 0);
  EXPECT_EQ(c, '1');
  std::string rest(8, 0);
  EXPECT_EQ(d.GetBlock(rest), 8);
  EXPECT_EQ(rest, "23456789");
  EXPECT_EQ(d.GetChar(c), ecBufferIsEmpty);
}

TEST_F(Rings, PutBlockOfExactlyTheFreeSpaceThenOneByteMore) {
  EXPECT_EQ(d.PutString(""), 0);
  EXPECT_EQ(d.PutString("0123456789"), 0);
  {
    // The write thread takes what is queued.
    TCriticalSectionGuard lock(d.OutputLock);
    d.OutTail = d.OutHead;
  }
  EXPECT_EQ(d.OutBuffFree(), 16u);
  EXPECT_EQ(d.PutString("abcdef"), 0);  // up to the ring's end exactly
  EXPECT_EQ(d.OutHead, 0u);
  EXPECT_EQ(d.PutString("ghijklmnop"), 0);  // the rest of the free space, across the end
  EXPECT_TRUE(d.OutRingFull);
  EXPECT_EQ(d.OutBuffUsed(), 16u);
  EXPECT_EQ(d.OutBuffFree(), 0u);
  EXPECT_EQ(d.PutChar('q'), ecOutputBufferTooSmall);
  EXPECT_EQ(d.OutBuffUsed(), 16u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(d.OutRing.get()), 16), "ghijklmnopabcdef");
  EXPECT_TRUE(d.OutputSentPending);

  EXPECT_EQ(d.FlushOutBuffer(), 0);
  EXPECT_EQ(d.OutBuffFree(), 16u);
  EXPECT_EQ(d.PutString(std::string(17, 'z')), ecOutputBufferTooSmall);  // never a part of a block
  EXPECT_EQ(d.OutBuffUsed(), 0u);
}

TEST_F(Rings, DuringANotificationReadsCountInsteadOfTaking) {
  d.Receive("abc");
  d.InAvailNotify = true;
  d.HandlerThread = std::this_thread::get_id();  // this thread runs the handler
  char c;
  EXPECT_EQ(d.GetChar(c), 0);
  EXPECT_EQ(c, 'a');
  EXPECT_EQ(d.InBuffUsed(), 2u);
  d.HandlerReadCount = 0;  // the next handler sees the same bytes
  std::string two(2, 0);
  EXPECT_EQ(d.GetBlock(two), 2);
  EXPECT_EQ(two, "ab");
  EXPECT_EQ(d.PeekChar(c, 1), 0);
  EXPECT_EQ(c, 'c');
  EXPECT_EQ(d.InTail, 0u);

  EXPECT_EQ(d.FlushInBuffer(), 0);
  EXPECT_EQ(d.InTail, 0u);  // the end of the notification passes over all of it
  EXPECT_EQ(d.MaxHandlerReadCount, 3u);
  d.InAvailNotify = false;
  EXPECT_EQ(d.FlushInBuffer(), 0);
  EXPECT_FALSE(d.CharReady());
}

}  // namespace
