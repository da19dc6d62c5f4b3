#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "serial/base/rtl_exceptions.h"
#include "serial/dispatch/io_queue.h"

namespace {

std::unique_ptr<TIOBuffer> Data(std::int32_t size) { return std::make_unique<TDataBuffer>(size); }

TEST(IOQueue, PeekClaimsTheHeadAndPopTakesItClaimedOrNot) {
  TIOQueue q;
  q.Push(Data(10));
  q.Push(Data(20));
  EXPECT_EQ(q.QueuedBytes(), 30u);

  TIOBuffer* head = q.Peek();
  ASSERT_NE(head, nullptr);
  EXPECT_TRUE(head->InUse);
  EXPECT_EQ(q.Peek(), nullptr);  // the head is claimed, even though the next is free
  head->InUse = false;
  EXPECT_EQ(q.Peek(), head);  // released: the same head again

  std::unique_ptr<TIOBuffer> popped = q.Pop();  // claimed, taken all the same
  EXPECT_EQ(popped.get(), head);
  EXPECT_EQ(q.QueuedBytes(), 20u);
  EXPECT_EQ(q.Pop()->Size, 20);
  EXPECT_EQ(q.Pop(), nullptr);
  EXPECT_EQ(q.Peek(), nullptr);
  EXPECT_EQ(q.QueuedBytes(), 0u);
}

TEST(IOQueue, ClearKeepsOnlyTheClaimedItem) {
  TIOQueue q;
  q.Push(Data(8));
  q.Push(Data(16));
  q.Push(std::make_unique<TStatusBuffer>());
  TIOBuffer* claimed = q.Peek();
  q.Clear();
  EXPECT_EQ(q.Count(), 1u);
  EXPECT_EQ(q.QueuedBytes(), 8u);
  claimed->InUse = false;
  EXPECT_EQ(q.Peek(), claimed);
}

TEST(IOQueue, WaitForBufferReturnsAtOnceWhileItemsAreQueued) {
  TIOQueue q;
  EXPECT_EQ(q.WaitForBuffer(0), WaitResult::Timeout);
  q.Push(Data(1));
  EXPECT_EQ(q.WaitForBuffer(kInfinite), WaitResult::Signaled);
  q.Push(Data(1));
  q.Pop();
  q.Pop();
  // Empty again: the pushes left the signal set for one wait, and only one.
  EXPECT_EQ(q.WaitForBuffer(kInfinite), WaitResult::Signaled);
  EXPECT_EQ(q.WaitForBuffer(50), WaitResult::Timeout);
}

TEST(IOQueue, APushWakesAWaitingConsumer) {
  TIOQueue q;
  std::thread producer([&] { q.Push(Data(1)); });
  EXPECT_EQ(q.WaitForBuffer(kInfinite), WaitResult::Signaled);
  producer.join();
}

TEST(IOBuffers, SizesAndAttachedBytes) {
  EXPECT_THROW(TDataBuffer(0), Exception);
  const TDataBuffer block(256);
  EXPECT_EQ(block.Size, 256);
  EXPECT_EQ(block.Filled, 0u);
  EXPECT_EQ(block.Block[255], 0);  // zero-filled

  const TLogBuffer empty(dtUser, dstNone, 1, 2, nullptr, 0);
  EXPECT_EQ(empty.GetMoreData(), 0);
  EXPECT_EQ(empty.Bytes, nullptr);
  char text[] = "abc";
  const TLogBuffer entry(dtDispatch, dstWriteCom, 1234, 3, text, 3);
  text[0] = 'x';  // the entry keeps its own copy
  EXPECT_EQ(entry.GetMoreData(), 3);
  EXPECT_EQ(std::memcmp(entry.Bytes.get(), "abc", 3), 0);
}

// Two producers push numbered blocks while one consumer reads them through
// claims and another thread clears: every block read is whole, and each
// producer's blocks come in order.
TEST(IOQueue, ConcurrentPushPeekPopAndClear) {
  constexpr int kPerProducer = 20000;
  TIOQueue q;
  std::atomic<bool> producing{true};
  auto produce = [&](std::uint8_t id) {
    for (int i = 0; i < kPerProducer; ++i) {
      auto block = std::make_unique<TDataBuffer>(8);
      block->Block[0] = id;
      std::memcpy(&block->Block[1], &i, sizeof i);
      block->Filled = 1 + sizeof i;
      q.Push(std::move(block));
    }
  };
  std::thread a(produce, 1), b(produce, 2);
  std::thread clearer([&] {
    while (producing) {
      q.Clear();
      std::this_thread::yield();
    }
  });

  int last[3] = {-1, -1, -1};
  int taken = 0;
  auto consumeAll = [&] {
    while (TIOBuffer* item = q.Peek()) {
      auto* data = static_cast<TDataBuffer*>(item);
      const std::uint8_t id = data->Block[0];
      int n;
      std::memcpy(&n, &data->Block[1], sizeof n);
      EXPECT_TRUE(id == 1 || id == 2);
      EXPECT_GT(n, last[id]);
      last[id] = n;
      data->Consumed = data->Filled;
      q.Pop();
      ++taken;
    }
  };
  std::thread consumer([&] {
    while (producing || q.Count() > 0) {
      if (q.WaitForBuffer(50) == WaitResult::Signaled) consumeAll();
    }
  });
  a.join();
  b.join();
  producing = false;
  clearer.join();
  consumer.join();
  EXPECT_GT(taken, 0);
  EXPECT_EQ(q.Count(), 0u);
  EXPECT_EQ(q.QueuedBytes(), 0u);
}

}  // namespace
