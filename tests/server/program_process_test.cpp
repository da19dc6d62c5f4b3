// trelmsrv as a process in a temporary program directory: it serves a client, a
// terminate signal saves the queue before it ends, a closed standard error does
// not end it, and a start that is refused ends with a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/file_io.h"
#include "platform/single_instance.h"
#include "protocol/message_file.h"
#include "server/store/queue_file.h"
#include "tests/server/loopback_client.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Waits for the child to end; its exit status, or -1 when it did not end in time.
int WaitForExit(pid_t pid) {
  int status = 0;
  const bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(30));
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the program on the offscreen platform with its instance lock in lockDir
// and its standard error on stderrFd, its soft limit on open files lowered to
// openFiles when that is given. The environment is made before the fork, so the
// child only sets its limit and execs.
pid_t StartServerProcess(const std::string& program, const std::string& lockDir, int stderrFd,
                         rlim_t openFiles = 0) {
  std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + lockDir};
  for (char** e = environ; *e; ++e) {
    const std::string_view entry(*e);
    if (!entry.starts_with("QT_QPA_PLATFORM=") && !entry.starts_with("XDG_RUNTIME_DIR=")) env.emplace_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::dup2(stderrFd, STDERR_FILENO) < 0) ::_exit(126);
    rlimit limit{};
    if (openFiles != 0 && ::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
      limit.rlim_cur = openFiles;
      if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(126);
    }
    ::execve(program.c_str(), argv, envp.data());
    ::_exit(127);
  }
  return pid;
}

// A service manager that stops reading the server's standard error must not end it:
// what it writes there (here, that another copy runs) goes nowhere, and it ends as usual.
TEST(ServerProcess, AClosedStandardErrorDoesNotEndIt) {
  TempDir dir;
  fs::copy_file(TRELMSRV_PATH, dir.File("trelmsrv"));
  SingleInstance running("trelmsrv", dir.path());
  ASSERT_FALSE(running.AlreadyRunning());
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  ::close(fds[0]);  // nobody reads
  const pid_t pid = StartServerProcess(dir.File("trelmsrv"), dir.path(), fds[1]);
  ::close(fds[1]);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(WaitForExit(pid), 0);
}

// A start that ends without serving tells a service manager it failed, and
// standard error says why.
TEST(ServerProcess, ARefusedStartEndsWithStatusOneAndSaysWhy) {
  enum class Odd { Nothing, Folder, Fifo };
  struct Case {
    const char* what;
    long port;
    const char* file;  // that is odd
    Odd odd;
    std::string said;
  };
  for (const Case& c : {Case{"no port", 0, "", Odd::Nothing, "EthernetPort is 0"},
                        Case{"a folder as a queue file", kAnyPort, kIncomingQueueFile, Odd::Folder,
                             "outbox.db: it is not a regular file"},
                        Case{"a FIFO as a queue file", kAnyPort, kOutgoingQueueFile, Odd::Fifo,
                             "inbox.db: it is not a regular file"},
                        // A settings file is never opened in a way that can block.
                        Case{"a FIFO as Config.ini", kAnyPort, "Config.ini", Odd::Fifo,
                             "Config.ini: it is not a regular file"},
                        Case{"a FIFO as the registry file", kAnyPort, "registry.reg", Odd::Fifo,
                             "registry.reg: it is not a regular file"},
                        Case{"a folder as the registry file", kAnyPort, "registry.reg", Odd::Folder,
                             "registry.reg: it is not a regular file"}}) {
    TempDir dir;
    fs::copy_file(TRELMSRV_PATH, dir.File("trelmsrv"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"), "[CONNECTION]\nEthernetPort=" + std::to_string(c.port) + "\n"));
    if (c.odd != Odd::Nothing) fs::remove(dir.File(c.file));
    if (c.odd == Odd::Folder) fs::create_directory(dir.File(c.file));
    if (c.odd == Odd::Fifo) {
      ASSERT_EQ(::mkfifo(dir.File(c.file).c_str(), 0644), 0);
    }
    const int said = ::open(dir.File("stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(said, 0);
    const pid_t pid = StartServerProcess(dir.File("trelmsrv"), dir.path(), said);
    ::close(said);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForExit(pid), 1) << c.what;
    const std::string text = ReadWholeFile(dir.File("stderr")).value_or("");
    EXPECT_NE(text.find(c.said), std::string::npos) << c.what << ": " << text;
    EXPECT_NE(text.find("does not start"), std::string::npos) << c.what << ": " << text;
  }
}

TEST(ServerProcess, ServesAClientAndSavesTheQueueOnTerminate) {
  TempDir dir;
  fs::copy_file(TRELMSRV_PATH, dir.File("trelmsrv"));
  ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"),
                                  "[CONNECTION]\nEthernetPort=" + std::to_string(kAnyPort) + "\n"));
  ASSERT_TRUE(WriteMessageFile(dir.File(kOutgoingQueueFile), std::vector<packet>{MessagePacket("+7001", "old")}));

  // Started with the usual soft limit on open files, far below the hard one.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlim_t lowered = std::min<rlim_t>(limit.rlim_max, 256);
  const pid_t pid = StartServerProcess(dir.File("trelmsrv"), dir.path(), STDERR_FILENO, lowered);
  ASSERT_GT(pid, 0);

  std::vector<int> ports;
  if (!WaitUntil([&] { return !(ports = ListeningPorts(pid)).empty(); })) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    FAIL() << "trelmsrv never listened";
  }
  // A descriptor for every client: the soft limit is raised to the hard one.
  rlimit serving{};
  ASSERT_EQ(::prlimit(pid, RLIMIT_NOFILE, nullptr, &serving), 0);
  if (limit.rlim_max == RLIM_INFINITY) {
    EXPECT_GT(serving.rlim_cur, lowered);  // the system's ceiling
  } else {
    EXPECT_EQ(serving.rlim_cur, limit.rlim_max);
  }
  const auto client = std::make_unique<LoopbackClient>(ports.front());
  ASSERT_TRUE(client->connected());
  EXPECT_FALSE(fs::exists(dir.File(kOutgoingQueueFile)));
  ASSERT_TRUE(client->Send(MessagePacket("+7002", "new")));
  client->ShutdownWrite();
  ASSERT_TRUE(client->BytesUntilClosed());  // the server has taken the packet

  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(pid), 0);
  const auto saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].text(), "old");
  EXPECT_EQ(saved[1].text(), "new");
}

}  // namespace
