// trelmsrv as a process in a temporary program directory: it serves a client, with
// a display or without one, a terminate signal saves the queue before it ends, a
// closed or full standard error neither ends it nor holds it up, and a start that
// is refused ends with a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
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
#include "tests/support/child_process.h"
#include "tests/support/full_pipe.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Starts the program on the offscreen platform with its instance lock in lockDir
// and its standard error on stderrFd.
pid_t StartServerProcess(const std::string& program, const std::string& lockDir, int stderrFd) {
  return StartChild(program,
                    {.set = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + lockDir}, .drop = {}, .openFiles = 0},
                    stderrFd);
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

// As a user starts it on a desktop (here offscreen), and as a service manager
// starts it, with no display at all: it then says so and runs offscreen by itself.
TEST(ServerProcess, ServesAClientAndSavesTheQueueOnTerminate) {
  // Started with the usual soft limit on open files, far below the hard one.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlim_t lowered = std::min<rlim_t>(limit.rlim_max, 256);
  struct Case {
    const char* what;
    ChildEnvironment environment;
    const char* said;  // on standard error
  };
  const Case cases[] = {
      {"offscreen", {.set = {"QT_QPA_PLATFORM=offscreen"}, .drop = {}, .openFiles = lowered}, ""},
      {"no display",
       {.set = {}, .drop = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}, .openFiles = lowered},
       "running on Qt's offscreen platform"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    fs::copy_file(TRELMSRV_PATH, dir.File("trelmsrv"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"),
                                    "[CONNECTION]\nEthernetPort=" + std::to_string(kAnyPort) + "\n"));
    ASSERT_TRUE(WriteMessageFile(dir.File(kOutgoingQueueFile), std::vector<packet>{MessagePacket("+7001", "old")}));

    ChildEnvironment environment = c.environment;
    environment.set.push_back("XDG_RUNTIME_DIR=" + dir.path());
    const int said = ::open(dir.File("stderr").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(said, 0);
    const pid_t pid = StartChild(dir.File("trelmsrv"), environment, said);
    ::close(said);
    ASSERT_GT(pid, 0);

    std::vector<int> ports;
    if (!WaitUntil([&] { return !(ports = ListeningPorts(pid)).empty(); })) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      FAIL() << "trelmsrv never listened: " << ReadWholeFile(dir.File("stderr")).value_or("");
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
    EXPECT_EQ(ReadMessageFile(dir.File(kOutgoingQueueFile)).size(), 1u);  // the queue, on disk while it runs
    ASSERT_TRUE(client->Send(MessagePacket("+7002", "new")));
    client->ShutdownWrite();
    ASSERT_TRUE(client->BytesUntilClosed());  // the server has taken the packet

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitForExit(pid), 0);
    const auto saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].text(), "old");
    EXPECT_EQ(saved[1].text(), "new");
    const std::string text = ReadWholeFile(dir.File("stderr")).value_or("");
    EXPECT_NE(text.find(c.said), std::string::npos) << text;
  }
}

// A service manager that stopped reading the server's standard error must not hold
// up a connection or the stop: the lines said meanwhile (here one per message to
// a number the modem cannot take, far more than are held) are dropped, and a
// terminate signal still saves the queue and ends the server.
TEST(ServerProcess, AFullStandardErrorHoldsUpNeitherTheClientsNorTheStop) {
  TempDir dir;
  fs::copy_file(TRELMSRV_PATH, dir.File("trelmsrv"));
  ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"),
                                  "[CONNECTION]\nEthernetPort=" + std::to_string(kAnyPort) + "\n"));
  FullPipe pipe;
  ASSERT_GE(pipe.write, 0);
  const pid_t pid = StartServerProcess(dir.File("trelmsrv"), dir.path(), pipe.write);
  pipe.CloseWrite();
  ASSERT_GT(pid, 0);

  std::vector<int> ports;
  if (!WaitUntil([&] { return !(ports = ListeningPorts(pid)).empty(); })) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    FAIL() << "trelmsrv never listened";
  }
  constexpr int kUnsendable = 3000;
  {
    LoopbackClient client(ports.front());
    for (int i = 0; i < kUnsendable; ++i) ASSERT_TRUE(client.Send(MessagePacket("Bank", "to a name")));
    ASSERT_TRUE(client.Send(MessagePacket("+7002", "kept")));
    client.ShutdownWrite();
    ASSERT_TRUE(client.BytesUntilClosed());  // served to the end
  }
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(pid), 0);
  const auto saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].text(), "kept");
  EXPECT_EQ(ReadMessageFile(dir.File("inbox.db.bad")).size(), static_cast<std::size_t>(kUnsendable));
}

}  // namespace
