#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/message_window.h"
#include "tests/serial/dispatch/port_io.h"
#include "tests/serial/dispatch/pty_port.h"

namespace {

constexpr std::size_t kBytes = 2 << 20;

std::atomic<int> availNotices{0};
void CountAvail(std::uint32_t msg, std::uint32_t, std::int32_t) {
  if (msg == kNotifyAvail) ++availNotices;
}

// Where two streams first differ; npos when they are the same.
std::size_t FirstDifference(const std::string& a, const std::string& b) {
  const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return ia == a.end() && ib == b.end() ? std::string::npos : static_cast<std::size_t>(ia - a.begin());
}

// Progress of the poller, which the counts reader follows.
struct Progress {
  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t reads = 0;
  bool polled = false;  // the poller has all it waited for
  bool closed = false;

  template <typename Change>
  void Note(Change change) {
    {
      std::lock_guard lock(mutex);
      change();
    }
    changed.notify_all();
  }
};

// The server's case and more: the port's window is registered with no trigger
// event of its own, so every arrival brings an avail notification delivered
// to no one, and a counting handler makes others delivered to someone. A
// poller takes the input meanwhile with CharReady, PeekChar, GetChar and
// GetBlock, a third thread reads the counts, and a fourth closes the port at
// the end. Both streams arrive whole, in order, and no byte twice.
TEST_F(PtyPort, TwoMegabytesEachWayWhileAPollerReadsDuringNotificationsAndAnotherThreadCloses) {
  const WindowHandle portWindow =
      CreateMessageWindow([](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; });
  d.UpdateHandlerFlags(fuDisablePort);
  d.RegisterWndTriggerHandler(portWindow);
  d.RegisterProcTriggerHandler(&CountAvail);
  d.ChangeLengthTrigger(1);
  availNotices = 0;

  const std::string toPort = NumberedBytes(kBytes, 0);
  const std::string fromPort = NumberedBytes(kBytes, 0x40000000);
  Progress progress;

  std::thread farSends([&] { pty.Send(toPort); });
  std::string farGot;
  std::thread farReceives([&] { farGot = pty.Receive(kBytes); });
  std::thread writer([&] { EXPECT_TRUE(PutAll(d, fromPort)); });

  std::string got;
  std::thread poller([&] {
    got.reserve(kBytes);
    for (std::uint64_t pass = 0; got.size() < kBytes; ++pass) {
      if (!d.CharReady()) {
        if (!d.WaitForInput(10000)) break;
        continue;
      }
      char c = 0, peeked = 0;
      switch (pass % 3) {
        case 0:
          if (d.GetChar(c) == 0) got += c;
          break;
        case 1:
          if (d.PeekChar(peeked, 1) == 0 && d.GetChar(c) == 0) {
            EXPECT_EQ(peeked, c);
            got += c;
          }
          break;
        default: {
          std::string block(std::min<std::size_t>(d.InBuffUsed(), std::min<std::size_t>(1000, kBytes - got.size())), 0);
          if (d.GetBlock(block) > 0) got += block;
        }
      }
      progress.Note([&] { ++progress.reads; });
    }
    progress.Note([&] { progress.polled = true; });
  });

  std::thread counts([&] {
    std::uint64_t seen = 0;
    for (;;) {
      EXPECT_LE(d.InBuffUsed(), kInRingSize);
      EXPECT_LE(d.InBuffFree(), kInRingSize);
      EXPECT_LE(d.OutBuffUsed(), 4096u);
      EXPECT_LE(d.OutBuffFree(), 4096u);
      std::unique_lock lock(progress.mutex);
      if (progress.closed) return;
      progress.changed.wait(lock, [&] { return progress.reads != seen || progress.closed; });
      seen = progress.reads;
    }
  });

  std::thread closer([&] {
    {
      std::unique_lock lock(progress.mutex);
      progress.changed.wait(lock, [&] { return progress.polled; });
    }
    farReceives.join();
    d.DonePort();
    progress.Note([&] { progress.closed = true; });
  });

  farSends.join();
  writer.join();
  poller.join();
  closer.join();
  counts.join();

  EXPECT_EQ(got.size(), kBytes);
  EXPECT_EQ(FirstDifference(got, toPort), std::string::npos);
  EXPECT_EQ(farGot.size(), kBytes);
  EXPECT_EQ(FirstDifference(farGot, fromPort), std::string::npos);
  EXPECT_GT(availNotices.load(), 0);
  EXPECT_EQ(d.ComHandle, -1);
  EXPECT_EQ(d.ActiveThreads, 0);
  DestroyMessageWindow(portWindow);
}

}  // namespace
