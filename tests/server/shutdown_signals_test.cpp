#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>

#include "server/shutdown_signals.h"

namespace {

TEST(ShutdownSignals, EachStopSignalMakesThePipeReadable) {
  ShutdownSignals signals;
  ASSERT_GE(signals.fd(), 0);
  EXPECT_FALSE(signals.Take());
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(sig);
    ASSERT_EQ(::raise(sig), 0);  // would end the test binary without the handler
    pollfd p{signals.fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 1);
    EXPECT_TRUE(signals.Take());
    EXPECT_FALSE(signals.Take());
  }
}

}  // namespace
