#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/message_window.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kLongWait = 10s;  // generous limit for conditions that come at once

constexpr std::uint32_t kStop = 0x7F00;

// A thread that owns one window and pumps its queue until told to stop.
class PumpingThread {
 public:
  explicit PumpingThread(WindowProc proc) {
    std::promise<WindowHandle> made;
    auto handle = made.get_future();
    thread_ = std::thread([this, proc = std::move(proc), &made]() mutable {
      const WindowHandle w = CreateMessageWindow(std::move(proc));
      made.set_value(w);
      while (!stop_) {
        WaitWindowMessage(kLongWait);
        ProcessWindowMessages();
      }
      DestroyMessageWindow(w);
    });
    window_ = handle.get();
  }
  ~PumpingThread() {
    stop_ = true;
    PostWindowMessage(window_, kStop, 0, 0);
    thread_.join();
  }
  WindowHandle window() const { return window_; }

 private:
  std::atomic<bool> stop_{false};
  WindowHandle window_ = 0;
  std::thread thread_;
};

// Pumps the calling thread's queue until `done` holds (or the limit passes).
template <typename Pred>
bool PumpUntil(Pred done) {
  const auto limit = std::chrono::steady_clock::now() + kLongWait;
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    WaitWindowMessage(10ms);
    ProcessWindowMessages();
  }
  return true;
}

TEST(MessageWindow, AMessageThatPostsItselfAgainWaitsForTheNextTurnOfTheLoop) {
  int served = 0;
  WindowHandle w = 0;
  w = CreateMessageWindow([&](WindowHandle, std::uint32_t m, std::uintptr_t, std::intptr_t) {
    ++served;
    PostWindowMessage(w, m, 0, 0);
    return std::intptr_t{0};
  });
  PostWindowMessage(w, 0x7E0A, 0, 0);
  ProcessWindowMessages();
  EXPECT_EQ(served, 1);
  ProcessWindowMessages();
  EXPECT_EQ(served, 2);
  DestroyMessageWindow(w);
}

TEST(MessageWindow, PostedMessagesArriveInOrderOnTheOwningThread) {
  std::vector<std::uint32_t> seen;
  const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t m, auto, auto) {
    seen.push_back(m);
    return std::intptr_t{0};
  });
  ASSERT_NE(w, 0u);
  for (std::uint32_t m : {0x7E01u, 0x7E02u, 0x7E03u}) EXPECT_TRUE(PostWindowMessage(w, m, 0, 0));
  WindowMessage msg;
  while (PeekWindowMessage(msg)) {
    EXPECT_EQ(msg.window, w);
    DispatchWindowMessage(msg);
  }
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{0x7E01, 0x7E02, 0x7E03}));
  EXPECT_TRUE(DestroyMessageWindow(w));
  EXPECT_FALSE(IsMessageWindow(w));
  EXPECT_FALSE(PostWindowMessage(w, 1, 0, 0));
  EXPECT_EQ(SendWindowMessage(w, 1, 0, 0), 0);
}

TEST(MessageWindow, HandlesAreNeverReused) {
  auto proc = [](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) {
    return std::intptr_t{0};
  };
  const WindowHandle first = CreateMessageWindow(proc);
  DestroyMessageWindow(first);
  const WindowHandle second = CreateMessageWindow(proc);
  EXPECT_NE(first, second);
  DestroyMessageWindow(second);
}

TEST(MessageWindow, SendToOwnWindowCallsTheProcedureDirectly) {
  const WindowHandle w = CreateMessageWindow(
      [](WindowHandle, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) {
        return static_cast<std::intptr_t>(m + wp + lp);
      });
  EXPECT_EQ(SendWindowMessage(w, 100, 20, 3), 123);
  DestroyMessageWindow(w);
}

TEST(MessageWindow, CrossThreadSendRunsOnTheOwnerAndReturnsItsResult) {
  std::thread::id ran_on;
  PumpingThread owner([&](WindowHandle, std::uint32_t m, std::uintptr_t wp, std::intptr_t) {
    if (m == kStop) return std::intptr_t{0};
    ran_on = std::this_thread::get_id();
    return static_cast<std::intptr_t>(wp * 2);
  });
  EXPECT_EQ(SendWindowMessage(owner.window(), 0x7E04, 21, 0), 42);
  EXPECT_NE(ran_on, std::this_thread::get_id());
  std::intptr_t result = 0;
  EXPECT_TRUE(SendWindowMessageTimeout(owner.window(), 0x7E04, 5, 0, kNotifyTimeout, &result));
  EXPECT_EQ(result, 10);
  EXPECT_FALSE(DestroyMessageWindow(owner.window()));  // not this thread's window
  const auto before = ran_on;
  EXPECT_EQ(DispatchWindowMessage({owner.window(), 0x7E04, 1, 0}), 0);
  EXPECT_EQ(ran_on, before);
}

TEST(MessageWindow, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  // The main thread's window answers 1; the other thread's window, while
  // serving a send from here, sends back to the main thread's window.
  const WindowHandle mine = CreateMessageWindow(
      [](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{1}; });
  PumpingThread other([mine](WindowHandle, std::uint32_t m, std::uintptr_t, std::intptr_t) {
    if (m == kStop) return std::intptr_t{0};
    return 10 + SendWindowMessage(mine, 0x7E01, 0, 0);
  });
  EXPECT_EQ(SendWindowMessage(other.window(), 0x7E01, 0, 0), 11);

  // Both at once: each waits for the other and serves it meanwhile.
  std::atomic<std::intptr_t> from_worker{0};
  std::thread worker([&] { from_worker = SendWindowMessage(mine, 0x7E02, 0, 0); });
  EXPECT_EQ(SendWindowMessage(other.window(), 0x7E02, 0, 0), 11);
  EXPECT_TRUE(PumpUntil([&] { return from_worker.load() != 0; }));
  worker.join();
  EXPECT_EQ(from_worker.load(), 1);
  DestroyMessageWindow(mine);
}

TEST(MessageWindow, WaitingForAThreadServesItsSendsLeavesPostsQueuedAndEndsOnTheWake) {
  std::vector<std::uint32_t> served;
  const WindowHandle mine = CreateMessageWindow(
      [&](WindowHandle, std::uint32_t m, std::uintptr_t, std::intptr_t) {
        served.push_back(m);
        return std::intptr_t{0};
      });
  EXPECT_EQ(WindowThread(mine), std::this_thread::get_id());
  EXPECT_EQ(WindowThread(0), std::thread::id());
  ASSERT_TRUE(PostWindowMessage(mine, 0x7E10, 0, 0));

  const MessageWaitWake wake = CallingThreadWake();
  std::promise<void> sent, go;
  std::thread other([&, goFuture = go.get_future()] {
    SendWindowMessage(mine, 0x7E11, 0, 0);
    sent.set_value();
    goFuture.wait();
    wake();
  });
  // The send is served while waiting; a wake then ends a wait with nothing sent,
  // also one that came before the wait began.
  auto sentFuture = sent.get_future();
  EXPECT_TRUE(WaitSentMessages(kLongWait));
  ASSERT_EQ(sentFuture.wait_for(kLongWait), std::future_status::ready);
  go.set_value();
  EXPECT_TRUE(WaitSentMessages(kLongWait));
  other.join();
  EXPECT_EQ(served, std::vector<std::uint32_t>{0x7E11});
  EXPECT_FALSE(WaitSentMessages(1ms));

  WindowMessage m;
  ASSERT_TRUE(PeekWindowMessage(m));  // the posted message waited for the thread's own loop
  EXPECT_EQ(m.message, 0x7E10u);
  DestroyMessageWindow(mine);
}

TEST(MessageWindow, SendWithTimeOutGivesUpOnAThreadThatDoesNotPumpAndDropsTheLateReply) {
  std::promise<WindowHandle> made;
  std::promise<void> release;
  std::atomic<int> served{0};
  std::thread idle([&] {
    const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t, auto, auto) {
      ++served;
      return std::intptr_t{7};
    });
    made.set_value(w);
    release.get_future().wait();  // not pumping
    ProcessWindowMessages();      // serves the late message; its reply has no reader
    DestroyMessageWindow(w);
  });
  const WindowHandle w = made.get_future().get();
  std::intptr_t result = -1;
  EXPECT_FALSE(SendWindowMessageTimeout(w, 0x7E03, 0, 0, 50ms, &result));
  EXPECT_EQ(result, 0);
  release.set_value();
  idle.join();
  EXPECT_EQ(served.load(), 1);
}

TEST(MessageWindow, DestroyingAWindowDropsItsMessagesAndReleasesItsSenders) {
  int calls = 0;
  const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t, auto, auto) {
    ++calls;
    return std::intptr_t{5};
  });
  std::atomic<int> sender_result{-1};
  std::thread sender([&] {
    std::intptr_t r = -1;
    sender_result = SendWindowMessageTimeout(w, 0x7E02, 0, 0, 60s, &r) ? 1 : 0;
  });
  ASSERT_TRUE(WaitWindowMessage(kLongWait));  // the send is queued here, not served
  PostWindowMessage(w, 0x7E01, 0, 0);
  WindowMessage m;
  EXPECT_TRUE(DestroyMessageWindow(w));
  sender.join();
  EXPECT_EQ(sender_result.load(), 0);
  EXPECT_FALSE(PeekWindowMessage(m));
  EXPECT_EQ(calls, 0);
}

TEST(MessageWindow, QuitRequestComesAfterQueuedMessagesAndCanBePutBack) {
  const WindowHandle w = CreateMessageWindow(
      [](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
  PostQuitRequest(3);
  PostWindowMessage(w, 0x7E01, 0, 0);
  WindowMessage m;
  ASSERT_TRUE(PeekWindowMessage(m));
  EXPECT_EQ(m.message, 0x7E01u);
  ASSERT_TRUE(PeekWindowMessage(m, false));
  EXPECT_EQ(m.message, kQuitMessage);
  EXPECT_EQ(m.window, 0u);
  EXPECT_EQ(m.wparam, 3u);
  ProcessWindowMessages();  // leaves the quit request pending
  ASSERT_TRUE(PeekWindowMessage(m));
  EXPECT_EQ(m.message, kQuitMessage);
  EXPECT_FALSE(PeekWindowMessage(m));
  // One posted to a window is no message for it: it becomes the thread's quit request.
  PostWindowMessage(w, kQuitMessage, 5, 0);
  ProcessWindowMessages();
  ASSERT_TRUE(PeekWindowMessage(m));
  EXPECT_EQ(m.message, kQuitMessage);
  EXPECT_EQ(m.window, 0u);
  EXPECT_EQ(m.wparam, 5u);
  DestroyMessageWindow(w);
}

TEST(MessageWindow, AThreadThatEndsTakesItsWindowsAndReleasesItsSenders) {
  std::promise<WindowHandle> made;
  std::thread owner([&] {
    made.set_value(CreateMessageWindow(
        [](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{9}; }));
    WaitWindowMessage(kLongWait);  // the send below arrives; the thread ends unserved
  });
  const WindowHandle w = made.get_future().get();
  EXPECT_FALSE(SendWindowMessageTimeout(w, 0x7E01, 0, 0, 60s));
  owner.join();
  EXPECT_FALSE(IsMessageWindow(w));
  EXPECT_FALSE(PostWindowMessage(w, 0x7E01, 0, 0));
}

TEST(MessageWindow, WakeHookFiresForEveryArrival) {
  std::atomic<int> wakes{0};
  std::promise<WindowHandle> made;
  std::promise<void> done;
  std::thread owner([&] {
    SetMessageWakeHook([&] { ++wakes; });
    made.set_value(CreateMessageWindow(
        [](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; }));
    done.get_future().wait();
  });
  const WindowHandle w = made.get_future().get();
  PostWindowMessage(w, 0x7E01, 0, 0);
  PostWindowMessage(w, 0x7E02, 0, 0);
  EXPECT_EQ(wakes.load(), 2);
  done.set_value();
  owner.join();
}

TEST(Synchronize, RunsOnTheMainThreadWhileTheCallerWaits) {
  ASSERT_TRUE(IsMainThread());
  bool ran_here = false;
  EXPECT_TRUE(Synchronize([&] { ran_here = true; }));  // on the main thread: at once
  EXPECT_TRUE(ran_here);

  std::thread::id ran_on;
  std::atomic<bool> finished{false};
  std::string error;
  std::thread worker([&] {
    EXPECT_FALSE(IsMainThread());
    Synchronize([&] { ran_on = std::this_thread::get_id(); });
    try {
      Synchronize([] { throw std::runtime_error("from the main thread"); });
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
    finished = true;
  });
  EXPECT_TRUE(PumpUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_EQ(error, "from the main thread");
}

TEST(Synchronize, IsServedWhileTheMainThreadWaitsOnASend) {
  // The worker's window procedure needs the main thread while the main thread
  // waits for that very procedure.
  bool ran = false;
  PumpingThread worker([&](WindowHandle, std::uint32_t m, std::uintptr_t, std::intptr_t) {
    if (m == kStop) return std::intptr_t{0};
    Synchronize([&] { ran = IsMainThread(); });
    return std::intptr_t{3};
  });
  EXPECT_EQ(SendWindowMessage(worker.window(), 0x7E04, 0, 0), 3);
  EXPECT_TRUE(ran);
}

TEST(Synchronize, UntilDoneWaitsForTheEndThatComesLater) {
  EXPECT_FALSE(SynchronizeUntilDone([](SyncDone) { FAIL() << "not on the main thread"; }));

  SyncDone finish;
  std::atomic<bool> returned{false};
  bool result = false;
  std::thread worker([&] {
    result = SynchronizeUntilDone([&](SyncDone done) {
      EXPECT_TRUE(IsMainThread());
      finish = std::move(done);  // a dialog would keep it until it is answered
    });
    returned = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return static_cast<bool>(finish); }));
  ProcessWindowMessages();
  EXPECT_FALSE(returned.load()) << "the call has started, not ended";
  finish();
  worker.join();
  EXPECT_TRUE(result);
  finish();  // a second end changes nothing
}

TEST(Synchronize, ARefusalReleasesEveryWaitingCallerSoTheMainThreadCanJoinThem) {
  // One caller waits for the end of a started call, the other for a call the
  // main thread has not served; the main thread then joins both.
  SyncDone lateEnd;
  std::atomic<int> started_result{-1}, queued_result{-1};
  std::thread started([&] { started_result = SynchronizeUntilDone([&](SyncDone done) { lateEnd = done; }); });
  ASSERT_TRUE(PumpUntil([&] { return static_cast<bool>(lateEnd); }));
  bool ran = false;
  std::thread queued([&] { queued_result = Synchronize([&] { ran = true; }); });
  ASSERT_TRUE(WaitWindowMessage(kLongWait));  // queued here, not served
  {
    SynchronizeRefusal closing;
    started.join();
    queued.join();
    std::thread late([] { EXPECT_FALSE(Synchronize([] { FAIL() << "refused"; })); });
    late.join();
  }
  EXPECT_EQ(started_result.load(), 0);
  EXPECT_EQ(queued_result.load(), 0);
  EXPECT_FALSE(ran);
  lateEnd();  // the dialog answered after its caller left: nothing happens

  std::atomic<bool> served{false};
  std::thread after([&] { served = Synchronize([] {}); });
  EXPECT_TRUE(PumpUntil([&] { return served.load(); }));
  after.join();
}

TEST(MessageWindow, ManyThreadsPostAndSendWhileWindowsComeAndGo) {
  std::mutex lock;
  std::condition_variable changed;
  int handled = 0;  // guarded by lock
  auto count = [&](WindowHandle, std::uint32_t m, std::uintptr_t, std::intptr_t) {
    if (m != kStop) {
      std::lock_guard guard(lock);
      ++handled;
      changed.notify_all();
    }
    return std::intptr_t{1};
  };
  PumpingThread a(count), b(count);
  constexpr int kThreads = 4, kRounds = 200;
  std::atomic<int> sent_ok{0}, posted_ok{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < kThreads; ++t) {
    senders.emplace_back([&, t] {
      const WindowHandle target = t % 2 == 0 ? a.window() : b.window();
      const WindowHandle own = CreateMessageWindow(
          [](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; });
      for (int i = 0; i < kRounds; ++i) {
        if (SendWindowMessage(target, 0x7E01, i, 0) == 1) ++sent_ok;
        if (PostWindowMessage(target, 0x7E02, i, 0)) ++posted_ok;
        PostWindowMessage(own, 0x7E03, i, 0);  // dropped with the window below
      }
      DestroyMessageWindow(own);
    });
  }
  for (auto& s : senders) s.join();
  EXPECT_EQ(sent_ok.load(), kThreads * kRounds);
  EXPECT_EQ(posted_ok.load(), kThreads * kRounds);
  const int expected = 2 * kThreads * kRounds;
  std::unique_lock guard(lock);
  changed.wait_for(guard, kLongWait, [&] { return handled >= expected; });
  EXPECT_EQ(handled, expected);
}

}  // namespace
