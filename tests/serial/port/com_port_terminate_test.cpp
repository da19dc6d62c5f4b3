// Its own binary: the program's end cannot be taken back.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "platform/application.h"
#include "tests/serial/port/port_fixture.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using PortAtTheEnd = FakePort;

TEST_F(PortAtTheEnd, TheProgramsEndCutsAWaitShortWithoutItsText) {
  Open();
  auto wait = std::async(std::launch::async, [&] { return port.WaitForString("OK", 1000, false, true); });
  ASSERT_TRUE(WaitUntil([&] { return d->EventBusy.load(); }));
  Application().Terminate();
  ASSERT_EQ(wait.wait_for(20s), std::future_status::ready);
  EXPECT_FALSE(wait.get());
  EXPECT_FALSE(d->EventBusy);
  // Later waits end at once, with or without input.
  EXPECT_EQ(port.WaitForMultiString("A|B", 1000, true, true, '|'), 0);
  TWaitEnd end = weFound;
  EXPECT_EQ(port.WaitForInput([](char) { return 1; }, 1000, false, end), 0);
  EXPECT_EQ(end, weTerminated);
  d->Receive("OK");
  EXPECT_FALSE(port.WaitForString("OK", 1000, false, true));
}

}  // namespace
