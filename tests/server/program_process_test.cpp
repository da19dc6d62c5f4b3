// trelmsrv as a process in a temporary program directory: it serves a client, and
// a terminate signal saves the queue before it ends.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "server/queue_file.h"
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

TEST(ServerProcess, ServesAClientAndSavesTheQueueOnTerminate) {
  TempDir dir;
  const int port = FreePort();
  fs::copy_file(TRELMSRV_PATH, dir.File("trelmsrv"));
  ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"),
                                  "[CONNECTION]\nEthernetPort=" + std::to_string(port) + "\n"));
  ASSERT_TRUE(WriteMessageFile(dir.File(kOutgoingQueueFile), std::vector<packet>{MessagePacket("+7001", "old")}));

  const std::string program = dir.File("trelmsrv");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);  // its own instance lock
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }

  std::unique_ptr<LoopbackClient> client;
  ASSERT_TRUE(WaitUntil([&] {
    client = std::make_unique<LoopbackClient>(port);
    return client->connected();
  }));
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
