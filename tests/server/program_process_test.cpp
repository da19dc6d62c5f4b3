// trelmsrv as a process in a temporary program directory: it serves a client, a
// terminate signal saves the queue before it ends, a closed standard error does
// not end it, and a start that is refused ends with a failure.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
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
// and its standard error on stderrFd. The environment is made before the fork, so
// the child only execs.
pid_t StartServerProcess(const std::string& program, const std::string& lockDir, int stderrFd) {
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
  enum class QueueFile { Sound, Folder, Fifo };
  struct Case {
    const char* what;
    long port;
    QueueFile queueFile;
    std::string said;
  };
  for (const Case& c : {Case{"no port", 0, QueueFile::Sound, "EthernetPort is 0"},
                        Case{"a folder as a queue file", kAnyPort, QueueFile::Folder, "is not a regular file"},
                        Case{"a FIFO as a queue file", kAnyPort, QueueFile::Fifo, "is not a regular file"}}) {
    TempDir dir;
    fs::copy_file(TRELMSRV_PATH, dir.File("trelmsrv"));
    ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"), "[CONNECTION]\nEthernetPort=" + std::to_string(c.port) + "\n"));
    if (c.queueFile == QueueFile::Folder) fs::create_directory(dir.File(kIncomingQueueFile));
    if (c.queueFile == QueueFile::Fifo) {
      ASSERT_EQ(::mkfifo(dir.File(kOutgoingQueueFile).c_str(), 0644), 0);
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

  const pid_t pid = StartServerProcess(dir.File("trelmsrv"), dir.path(), STDERR_FILENO);
  ASSERT_GT(pid, 0);

  std::vector<int> ports;
  if (!WaitUntil([&] { return !(ports = ListeningPorts(pid)).empty(); })) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    FAIL() << "trelmsrv never listened";
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
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  ASSERT_EQ(::fcntl(fds[1], F_SETFL, O_NONBLOCK), 0);
  const std::string block(4096, '.');
  while (::write(fds[1], block.data(), block.size()) > 0) {
  }
  ASSERT_EQ(::fcntl(fds[1], F_SETFL, 0), 0);
  const pid_t pid = StartServerProcess(dir.File("trelmsrv"), dir.path(), fds[1]);
  ::close(fds[1]);
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
  ::close(fds[0]);
  const auto saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].text(), "kept");
  EXPECT_EQ(ReadMessageFile(dir.File("inbox.db.bad")).size(), static_cast<std::size_t>(kUnsendable));
}

}  // namespace
