// Lines on standard error while nobody reads it: the thread that says them goes
// on, what does not fit is dropped and counted, and once standard error is read
// again the lines come in order with the count of those dropped.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>

#include "platform/stderr_lines.h"
#include "tests/support/full_pipe.h"

namespace {

using namespace std::chrono_literals;

TEST(StderrLines, AFullPipeNeverHoldsUpTheThreadThatSaysALine) {
  // Full before anything is said: a service manager that stopped reading.
  FullPipe pipe;
  ASSERT_GE(pipe.write, 0);
  const int saved = ::dup(STDERR_FILENO);
  ASSERT_GE(::dup2(pipe.write, STDERR_FILENO), 0);

  const std::size_t droppedBefore = DroppedStderrLines();
  constexpr int kSaid = static_cast<int>(kHeldStderrLines) + 500;
  for (int i = 0; i < kSaid; ++i) StderrPrintf("trelmsrv: line %d\n", i);  // each returns at once
  EXPECT_GE(DroppedStderrLines() - droppedBefore, 499u);
  EXPECT_FALSE(FlushStderrLines(50ms));

  // Read again: what was held goes out, then how many were dropped.
  std::string read;
  std::thread reader([&] {
    char buffer[65536];
    for (ssize_t n; (n = ::read(pipe.read, buffer, sizeof buffer)) > 0;)
      read.append(buffer, static_cast<std::size_t>(n));
  });
  EXPECT_TRUE(FlushStderrLines(20s));
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  pipe.CloseWrite();
  reader.join();
  const std::size_t first = read.find("trelmsrv: line 0\n");
  ASSERT_NE(first, std::string::npos);
  const std::size_t lastHeld = read.find("trelmsrv: line " + std::to_string(kHeldStderrLines - 1) + "\n");
  const std::size_t notice = read.find(" lines for standard error were dropped while it was held up\n");
  EXPECT_LT(first, lastHeld);
  EXPECT_NE(notice, std::string::npos);
  EXPECT_EQ(read.find("trelmsrv: line " + std::to_string(kSaid - 1) + "\n"), std::string::npos);
}

}  // namespace
