#include "tests/support/captured_stderr.h"

#include <gtest/gtest.h>

#include "platform/stderr_lines.h"

std::string CapturedStderr() {
  EXPECT_TRUE(FlushStderrLines(std::chrono::seconds(20)));
  return testing::internal::GetCapturedStderr();
}
