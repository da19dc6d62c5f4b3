#include <gtest/gtest.h>

#include <optional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_io.h"
#include "serial/base/result_codes.h"
#include "serial/base/text_file.h"
#include "serial/base/z_strings.h"
#include "tests/support/temp_dir.h"

namespace {

// Writes `bytes` bytes into a new file the way a dump does; the first error.
std::int32_t WriteNew(const std::string& name, std::size_t bytes) {
  TextFile f(512);
  Assign(f, name);
  if (const std::int32_t code = f.Rewrite(); code != ecOK) return code;
  f.Write(std::string(bytes, 'x'));
  return f.Close();
}

// A child's answer when it could not set up what it was to try: no I/O code.
constexpr std::int32_t kNotSetUp = 1;

// Runs `body` in a child process, so that it may give up rights or mount file
// systems without touching the tests; its I/O code (-162 to 0 fits the exit
// status), or nothing when it could not set itself up.
template <typename Body>
std::optional<std::int32_t> InChild(Body body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::int32_t code = body();
    ::_exit(code == kNotSetUp ? 255 : -code);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) == 255)
    return std::nullopt;
  return -WEXITSTATUS(status);
}

TEST(TextFile, WritesItsBytesThroughTheBufferAndAppendsOrStartsAnew) {
  TempDir dir;
  const std::string name = dir.File("DEVA.TRC");
  TextFile f(4);  // smaller than what is written: it is flushed on the way
  AssignFile(f, name);
  EXPECT_EQ(f.Append(), ecFileNotFound);
  EXPECT_FALSE(ExistFileZ(name.c_str()));

  ASSERT_EQ(f.Rewrite(), ecOK);
  EXPECT_EQ(f.Write("Transmit: "), ecOK);
  EXPECT_EQ(f.WriteLn(), ecOK);
  EXPECT_EQ(f.Write("AT\x1A\xC0"), ecOK);  // bytes as they are, none translated
  EXPECT_EQ(f.Close(), ecOK);
  EXPECT_EQ(ReadWholeFile(name), "Transmit: \r\nAT\x1A\xC0");

  ASSERT_EQ(f.Append(), ecOK);
  EXPECT_EQ(f.WriteLn("OK"), ecOK);
  EXPECT_EQ(f.Close(), ecOK);
  EXPECT_EQ(ReadWholeFile(name), "Transmit: \r\nAT\x1A\xC0OK\r\n");

  ASSERT_EQ(f.Rewrite(), ecOK);
  EXPECT_EQ(f.Close(), ecOK);
  EXPECT_EQ(ReadWholeFile(name), "");

  EXPECT_EQ(f.Write("late"), ecNotOpen);
  EXPECT_EQ(f.Close(), ecNotOpen);
  TextFile unnamed;
  EXPECT_EQ(unnamed.Rewrite(), ecNotAssigned);
}

TEST(TextFile, AMissingFolderIsPathNotFound) {
  TempDir dir;
  ASSERT_EQ(WriteNew(dir.File("plain"), 1), ecOK);
  for (const char* name : {"missing/DEVA.TRC", "plain/DEVA.TRC"}) {
    EXPECT_EQ(WriteNew(dir.File(name), 1), ecPathNotFound) << name;
    EXPECT_FALSE(ExistFileZ(dir.File(name).c_str())) << name;
  }
}

TEST(TextFile, AFolderWithoutWriteRightIsAccessDenied) {
  TempDir dir;
  const std::string folder = dir.File("read-only");
  ASSERT_EQ(::mkdir(folder.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);  // others may pass through
  // The superuser may write anywhere: the child gives that up first.
  const auto code = InChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return kNotSetUp;
    return WriteNew(folder + "/DEVA.TRC", 1);
  });
  if (!code) GTEST_SKIP() << "cannot run as an ordinary user here";
  EXPECT_EQ(*code, ecAccessDenied);
}

TEST(TextFile, AFullFileSystemIsDiskFull) {
  if (::access("/dev/full", W_OK) == 0) {
    EXPECT_EQ(WriteNew("/dev/full", 10), ecDiskFull);
  }
  // A small file system that fills in the middle of the writes.
  TempDir dir;
  const std::string small = dir.File("small");
  ASSERT_EQ(::mkdir(small.c_str(), 0700), 0);
  const auto code = InChild([&] {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=16k") != 0)
      return kNotSetUp;
    return WriteNew(small + "/DEVA.LOG", 64 * 1024);
  });
  if (!code) GTEST_SKIP() << "cannot mount a small file system here";
  EXPECT_EQ(*code, ecDiskFull);
}

}  // namespace
