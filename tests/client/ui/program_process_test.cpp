// trelmcli as a process: with no display to show its window on, it ends at once
// with a failure and says why, where Qt would abort.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "platform/file_io.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ClientProcess, WithoutADisplayItEndsWithStatusOneAndSaysWhy) {
  TempDir dir;
  std::filesystem::copy_file(TRELMCLI_PATH, dir.File("trelmcli"));
  const int said = ::open(dir.File("stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(said, 0);
  const pid_t pid = StartChild(dir.File("trelmcli"),
                               {.set = {"XDG_RUNTIME_DIR=" + dir.path()},
                                .drop = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"},
                                .openFiles = 0},
                               said);
  ::close(said);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitForExit(pid), 1);
  const std::string text = ReadWholeFile(dir.File("stderr")).value_or("");
  EXPECT_NE(text.find("trelmcli: no display"), std::string::npos) << text;
}

}  // namespace
