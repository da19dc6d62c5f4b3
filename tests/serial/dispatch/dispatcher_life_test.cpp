#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <thread>

#include "platform/com_port_names.h"
#include "platform/errno_map.h"
#include "serial/base/result_codes.h"
#include "serial/dispatch/port_list.h"
#include "tests/serial/dispatch/port_io.h"
#include "tests/serial/dispatch/test_dispatcher.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

class PortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComRegistryFile(registry);
    RegisterComPort(registry, 3, pty.DevicePath());
    RegisterComPort(registry, 4, dir.File("unplugged"));
  }
  void TearDown() override { SetComRegistryFile(""); }

  static void ExpectClosed(TTestDispatcher& d) {
    EXPECT_LT(d.ComHandle, 0);
    EXPECT_EQ(d.InRing, nullptr);
    EXPECT_EQ(d.OutRing, nullptr);
    EXPECT_EQ(d.GeneralEvent, nullptr);  // the events go with a failed open too
  }

  TempDir dir;
  std::string registry = dir.File("registry.reg");
  PseudoTerminal pty;
};

TEST_F(PortOnPty, OpenErrorsGiveTheirCodesAndLeaveThePortClosed) {
  TTestDispatcher holder;
  ASSERT_EQ(holder.Open(4096, 4096, "\\\\.\\COM3"), 0);
  const std::pair<const char*, std::int32_t> cases[] = {
      {"\\\\.\\COM9", -kSysFileNotFound},      // no such port
      {"\\\\.\\COM4", -kSysFileNotFound},      // its device is gone
      {"\\\\.\\COM3", -kSysSharingViolation},  // in use
  };
  for (const auto& [name, code] : cases) {
    TTestDispatcher d;
    EXPECT_EQ(d.Open(4096, 4096, name), code) << name;
    ExpectClosed(d);
  }

  auto fake = std::make_unique<FakeCommDevice>();
  fake->FailSetState(kSysInvalidParameter);
  TTestDispatcher refused(std::move(fake));
  EXPECT_EQ(refused.Open(), -kSysInvalidParameter);
  ExpectClosed(refused);
}

TEST_F(PortOnPty, RepeatedOpensAndClosesLeaveNoDescriptorOrThreadBehind) {
  const auto entries = [](const char* folder) {
    return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
  };
  std::thread([] {}).join();  // a sanitizer starts a thread of its own with the first one
  const auto descriptors = entries("/proc/self/fd");
  const auto threads = entries("/proc/self/task");
  for (int i = 0; i < 200; ++i) {
    {
      // As the port component does: a new dispatcher for each open.
      TDevaWin32Dispatcher d(nullptr);
      ASSERT_EQ(d.InitPort("\\\\.\\COM3", 115200, 0, 8, 1, 4096, 4096, kOptRaiseDtr | kOptRaiseRts), 0);
      ASSERT_TRUE(WaitUntil([&] { return d.ActiveThreads == 4; }));
      ASSERT_EQ(entries("/proc/self/task"), threads + 4) << "cycle " << i;
      pty.Send("x");
      ASSERT_EQ(ReadAll(d, 1), "x") << "cycle " << i;
      d.DonePort();
    }
    ASSERT_EQ(entries("/proc/self/fd"), descriptors) << "cycle " << i;
    ASSERT_EQ(entries("/proc/self/task"), threads) << "cycle " << i;
  }
}

TEST(DispatcherRelease, AReleasedPortFailsWithItsCodesAndReleasesOnce) {
  TTestDispatcher d(std::make_unique<FakeCommDevice>());
  ASSERT_EQ(d.Open(), 0);
  d.Receive("left over");
  d.DonePort();
  d.DonePort();
  char c;
  std::string block(4, 0);
  EXPECT_EQ(d.GetChar(c), ecBufferIsEmpty);
  EXPECT_EQ(d.PeekBlock(block), ecBufferIsEmpty);
  EXPECT_EQ(d.PutString("AT\r"), ecOutputBufferTooSmall);
  EXPECT_FALSE(d.CharReady());
  EXPECT_EQ(d.InBuffUsed(), 0u);
  EXPECT_EQ(d.InBuffFree(), 0u);
  EXPECT_EQ(d.OutBuffFree(), 0u);
  EXPECT_EQ(d.ComHandle, -1);
}

TEST(DispatcherRelease, ACloseDuringAWaitLeavesTheRingsToWhoeverEndsIt) {
  TTestDispatcher d(std::make_unique<FakeCommDevice>());
  ASSERT_EQ(d.Open(), 0);
  d.EventBusy = true;
  d.DonePort();
  EXPECT_TRUE(d.ClosePending);
  EXPECT_EQ(d.ComHandle, -1);  // the device is closed at once
  EXPECT_NE(d.InRing, nullptr);
  d.ReleaseBeforeDestroy();  // what the destructor does first
  EXPECT_EQ(d.InRing, nullptr);
  EXPECT_EQ(d.OutRing, nullptr);
}

bool IsTestDispatcher(const TDevaBaseDispatcher* d) {
  return dynamic_cast<const TTestDispatcher*>(d) != nullptr;
}

TEST(PortList, HandlesAreSlotsAndTrailingEmptySlotsGo) {
  const auto size = [] {
    LockPortList();
    const std::size_t n = PortList().size();
    UnlockPortList();
    return n;
  };
  const auto base = static_cast<std::int32_t>(size());
  auto a = std::make_unique<TTestDispatcher>();
  auto b = std::make_unique<TTestDispatcher>();
  auto c = std::make_unique<TTestDispatcher>(std::make_unique<FakeCommDevice>());
  EXPECT_EQ(a->DispatcherHandle, base);
  EXPECT_EQ(c->DispatcherHandle, base + 2);
  ASSERT_EQ(c->Open(), 0);
  EXPECT_EQ(GetTComRecPtr(c->ComHandle, IsTestDispatcher), c.get());
  b.reset();
  EXPECT_EQ(size(), static_cast<std::size_t>(base + 3));  // a slot in the middle stays
  TTestDispatcher d;
  EXPECT_EQ(d.DispatcherHandle, base + 1);  // and is taken first
  c.reset();
  EXPECT_EQ(size(), static_cast<std::size_t>(base + 2));
  EXPECT_EQ(GetTComRecPtr(-1, IsTestDispatcher), nullptr);
}

}  // namespace
