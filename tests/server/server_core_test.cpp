// Start-up and orderly close: the queues across a restart, a failed start, and
// connections still open at close.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/cipher.h"
#include "protocol/message_file.h"
#include "server/queue_file.h"
#include "tests/server/server_fixture.h"

namespace {

namespace fs = std::filesystem;

class ServerCoreTest : public ServerFixture {
 protected:
  std::string Path(const char* name) const { return PathJoin(dir.path(), name); }
  bool Exists(const char* name) const { return fs::exists(Path(name)); }
  std::size_t Size(const char* name) const { return fs::file_size(Path(name)); }

  void Restart() {
    core->Close();
    core.reset();
    StartServer(Config());
  }
};

std::vector<packet> Three() {
  return {MessagePacket("+7001", "one"), MessagePacket("+7002", "two"), MessagePacket("+7003", "three")};
}

TEST_F(ServerCoreTest, QueuesSurviveARestartInOrder) {
  ASSERT_TRUE(WriteMessageFile(Path(kOutgoingQueueFile), Three()));
  ASSERT_TRUE(WriteMessageFile(Path(kIncomingQueueFile), std::vector<packet>{MessagePacket("+7009", "received")}));
  StartServer(Config());
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(Incoming(), 1u);
  // While the server runs the queues live in memory only.
  EXPECT_FALSE(Exists(kOutgoingQueueFile));
  EXPECT_FALSE(Exists(kIncomingQueueFile));

  LoopbackClient client(port);
  ASSERT_TRUE(client.Send(MessagePacket("+7004", "four")));
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 4; }));

  Restart();
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"one", "two", "three", "four"}));
  EXPECT_EQ(Incoming(), 1u);
}

TEST_F(ServerCoreTest, APartialTrailingRecordIsDropped) {
  std::string bytes(2000, '\0');
  const packet p = MessagePacket("+7001", "whole");
  std::copy(p.raw().begin(), p.raw().end(), bytes.begin());
  ASSERT_TRUE(WriteFileAtomically(Path(kOutgoingQueueFile), bytes));
  StartServer(Config());
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"whole"}));
  EXPECT_FALSE(Exists(kOutgoingQueueFile));
}

TEST_F(ServerCoreTest, OnlyNonEmptyQueuesAreWritten) {
  StartServer(Config());
  core->Close();
  EXPECT_FALSE(Exists(kOutgoingQueueFile));
  EXPECT_FALSE(Exists(kIncomingQueueFile));

  StartServer(Config());
  QueueIncoming({MessagePacket("+7001", "a"), MessagePacket("+7002", "b")});
  core->Close();
  EXPECT_FALSE(Exists(kOutgoingQueueFile));
  ASSERT_TRUE(Exists(kIncomingQueueFile));
  EXPECT_EQ(Size(kIncomingQueueFile), 2u * 1076);  // two plain records
  EXPECT_FALSE(Exists("outbox.db.tmp"));
}

TEST_F(ServerCoreTest, PortZeroEndsTheStartWithoutAMessageAndKeepsTheFiles) {
  ASSERT_TRUE(WriteMessageFile(Path(kOutgoingQueueFile), Three()));
  ServerCore server(dir.path());
  ServerConfig c = Config();
  c.EthernetPort = 0;
  EXPECT_FALSE(server.Start(c));
  EXPECT_TRUE(server.state().StopFlag.load());
  EXPECT_TRUE(boxes.Asked().empty());
  EXPECT_EQ(ReadMessageFile(Path(kOutgoingQueueFile)).size(), 3u);
}

TEST_F(ServerCoreTest, AFailedListenShowsTheErrorAndKeepsTheFiles) {
  // Someone else holds the port.
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  socklen_t size = sizeof a;
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  ASSERT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&a), &size), 0);

  ASSERT_TRUE(WriteMessageFile(Path(kOutgoingQueueFile), Three()));
  ASSERT_TRUE(WriteMessageFile(Path(kIncomingQueueFile), std::vector<packet>{MessagePacket("+7009", "received")}));
  ServerCore server(dir.path());
  ServerConfig c = Config();
  c.EthernetPort = ntohs(a.sin_port);
  EXPECT_FALSE(server.Start(c));
  ::close(holder);

  ASSERT_EQ(boxes.Asked().size(), 1u);
  EXPECT_EQ(boxes.Asked()[0].caption, Ansi("Ошибка"));
  EXPECT_FALSE(boxes.Asked()[0].text.empty());
  EXPECT_EQ(ReadMessageFile(Path(kOutgoingQueueFile)).size(), 3u);
  EXPECT_EQ(ReadMessageFile(Path(kIncomingQueueFile)).size(), 1u);
}

// Close must end every connection's thread before the queues go, whatever the
// clients are doing, and keep everything that was handed in.
TEST_F(ServerCoreTest, CloseEndsOpenConnectionsAndSavesWhatTheyHandedIn) {
  StartServer(Config());
  LoopbackClient idle(port);
  LoopbackClient halfway(port);
  LoopbackClient busy(port);
  packet p = MessagePacket("+7001", "half");
  EncodeBuffer(p.raw());
  ASSERT_TRUE(halfway.SendRaw(p.raw().first(500)));
  std::atomic<int> handedIn{0};
  std::thread sender([&] {
    while (busy.Send(MessagePacket("+7002", "busy"))) ++handedIn;
  });
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() >= 10 && core->Connections() == 3; }));
  core->Close();
  sender.join();
  EXPECT_EQ(core->Connections(), 0u);

  const auto saved = ReadMessageFile(Path(kOutgoingQueueFile));
  EXPECT_GE(saved.size(), 10u);
  EXPECT_LE(saved.size(), static_cast<std::size_t>(handedIn.load()));
  for (const packet& s : saved) EXPECT_EQ(s.text(), "busy");
}

}  // namespace
