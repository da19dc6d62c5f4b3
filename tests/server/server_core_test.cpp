// Start-up and orderly close: the queues across a restart, a failed start, and
// connections still open at close.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <thread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/cipher.h"
#include "protocol/message_file.h"
#include "protocol/message_file_appender.h"
#include "server/queue_file.h"
#include "tests/server/server_fixture.h"
#include "tests/server/test_mount.h"

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

  void QueueOutgoing(std::size_t count) {
    std::lock_guard guard(core->state().QueueLock);
    for (std::size_t i = 0; i < count; ++i) {
      PacketPtr p = PacketNew();
      *p = MessagePacket("+7001", "message " + std::to_string(i));
      core->state().OutgoingQueue.push_back(std::move(p));
    }
  }

  // With the server running and `count` packets queued to go out, the outgoing
  // queue file cannot be written (failing with `error`) until `mend` runs. A close
  // keeps every packet and says so; the next close after mending saves them all.
  void ExpectKeptUntilMended(std::size_t count, int error, const std::function<void()>& mend) {
    QueueOutgoing(count);
    QueueIncoming({MessagePacket("+7009", "received")});
    const std::vector<std::string> texts = OutgoingTexts();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(core->Close());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(Path(kOutgoingQueueFile)), std::string::npos) << said;
    ASSERT_EQ(core->save_faults().size(), 1u);
    EXPECT_EQ(core->save_faults()[0].path, Path(kOutgoingQueueFile));
    EXPECT_EQ(core->save_faults()[0].error, error);
    EXPECT_EQ(core->save_faults()[0].packets, count);
    EXPECT_EQ(OutgoingTexts(), texts);
    EXPECT_FALSE(Exists("inbox.db.tmp"));
    // The other queue does not wait for this one.
    EXPECT_EQ(ReadMessageFile(Path(kIncomingQueueFile)).size(), 1u);
    EXPECT_EQ(Incoming(), 0u);

    mend();
    EXPECT_TRUE(core->Close());
    EXPECT_TRUE(core->save_faults().empty());
    EXPECT_EQ(Outgoing(), 0u);
    std::vector<std::string> saved;
    for (const packet& p : ReadMessageFile(Path(kOutgoingQueueFile))) saved.emplace_back(p.text());
    EXPECT_EQ(saved, texts);
  }

  // Both queue files are there and something keeps the server from starting: it
  // reports the file named, never serves, and leaves both files as they were.
  void ExpectStartRefused(const char* named) {
    const auto outgoing = ReadWholeFile(Path(kOutgoingQueueFile));
    const auto incoming = ReadWholeFile(Path(kIncomingQueueFile));
    ServerCore server(dir.path());
    EXPECT_FALSE(server.Start(Config()));
    EXPECT_TRUE(server.state().StopFlag.load());
    ASSERT_EQ(boxes.Asked().size(), 1u);
    EXPECT_EQ(boxes.Asked()[0].caption, Ansi("Ошибка"));
    EXPECT_NE(boxes.Asked()[0].text.find(Path(named)), std::string::npos);
    EXPECT_EQ(ReadWholeFile(Path(kOutgoingQueueFile)), outgoing);
    EXPECT_EQ(ReadWholeFile(Path(kIncomingQueueFile)), incoming);
    LoopbackClient client(port);
    EXPECT_FALSE(client.connected());
  }

  void WriteQueueFiles() {
    ASSERT_TRUE(WriteMessageFile(Path(kOutgoingQueueFile), Three()));
    ASSERT_TRUE(WriteMessageFile(Path(kIncomingQueueFile), std::vector<packet>{MessagePacket("+7009", "r")}));
  }

  static std::vector<packet> Three() {
    return {MessagePacket("+7001", "one"), MessagePacket("+7002", "two"), MessagePacket("+7003", "three")};
  }
};

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

// A record that fails its check would end the connection of the client it went
// to, and every message after it would be lost: it stays out of the queue, kept
// beside its file, and the sound records load as before.
TEST_F(ServerCoreTest, BrokenRecordsAreSetAsideAndTheSoundOnesQueuedInOrder) {
  const std::vector<BrokenPacket> broken = BrokenPackets();
  std::vector<packet> outgoing, failed;
  for (std::size_t i = 0; i < broken.size(); ++i) {
    ASSERT_FALSE(PacketVerify(broken[i].record)) << broken[i].what;
    outgoing.push_back(MessagePacket("+7001", "sound " + std::to_string(i)));
    outgoing.push_back(broken[i].record);
    failed.push_back(broken[i].record);
  }
  outgoing.push_back(MessagePacket("+7001", "last"));
  const packet earlier = MessagePacket("+7000", "set aside by an earlier start");
  ASSERT_TRUE(WriteMessageFile(Path(kOutgoingQueueFile), outgoing));
  ASSERT_TRUE(WriteMessageFile(Path(kIncomingQueueFile), std::vector<packet>{broken[0].record, MessagePacket("+7009", "r")}));
  ASSERT_TRUE(WriteMessageFile(Path("inbox.db.bad"), std::vector<packet>{earlier}));

  // A start that does not serve sets nothing aside yet: the files stay as they were.
  ServerCore refused(dir.path());
  ServerConfig noPort = Config();
  noPort.EthernetPort = 0;
  ASSERT_FALSE(refused.Start(noPort));
  EXPECT_EQ(ReadMessageFile(Path(kOutgoingQueueFile)), outgoing);
  EXPECT_EQ(ReadMessageFile(Path("inbox.db.bad")), std::vector<packet>{earlier});
  EXPECT_FALSE(Exists("outbox.db.bad"));

  testing::internal::CaptureStderr();
  StartServer(Config());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"sound 0", "sound 1", "sound 2", "sound 3", "last"}));
  EXPECT_EQ(Incoming(), 1u);
  EXPECT_FALSE(Exists(kOutgoingQueueFile));
  EXPECT_FALSE(Exists(kIncomingQueueFile));
  failed.insert(failed.begin(), earlier);  // appended after what was there
  EXPECT_EQ(ReadMessageFile(Path("inbox.db.bad")), failed);
  EXPECT_EQ(ReadMessageFile(Path("outbox.db.bad")), std::vector<packet>{broken[0].record});
  for (const std::string& line : {"4 damaged records of " + Path(kOutgoingQueueFile),
                                  "set aside in " + Path("inbox.db.bad"),
                                  "1 damaged records of " + Path(kIncomingQueueFile),
                                  "set aside in " + Path("outbox.db.bad")})
    EXPECT_NE(said.find(line), std::string::npos) << line << " not in: " << said;
  EXPECT_TRUE(boxes.Asked().empty());

  // Only the sound ones come back from a restart.
  Restart();
  EXPECT_EQ(Outgoing(), 5u);
  EXPECT_EQ(ReadMessageFile(Path("inbox.db.bad")).size(), failed.size());
}

// Records that cannot be set aside would go with the queue file: the start is
// refused and both files are left as they were.
TEST_F(ServerCoreTest, BrokenRecordsThatCannotBeSetAsideStopTheStart) {
  WriteQueueFiles();
  {
    MessageFileAppender incoming(Path(kIncomingQueueFile));
    incoming.Append(BrokenPackets()[0].record);
    ASSERT_TRUE(incoming.Flush());
  }
  fs::create_directory(Path("outbox.db.bad"));
  ExpectStartRefused("outbox.db.bad");
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

// A queue file that cannot be written: the operator empties a folder that took
// its name; or, where the test may mount a file system, a full disk that grows.
TEST_F(ServerCoreTest, AQueueThatCannotBeSavedKeepsItsPacketsUntilASaveSucceeds) {
  StartServer(Config());
  fs::create_directory(Path(kOutgoingQueueFile));
  ExpectKeptUntilMended(3, EISDIR, [&] { fs::remove(Path(kOutgoingQueueFile)); });
}

TEST_F(ServerCoreTest, AFullDiskKeepsThePacketsUntilThereIsSpace) {
  const auto disk = TestMount::Tmpfs(dir.path(), 64 * 1024);
  if (!disk) GTEST_SKIP() << "this test may not mount a file system";
  StartServer(Config());
  ExpectKeptUntilMended(100, ENOSPC, [&] { ASSERT_TRUE(disk->Resize(1024 * 1024)); });
}

TEST_F(ServerCoreTest, AReadOnlyFolderStopsTheStartAndKeepsTheFiles) {
  const auto disk = TestMount::Tmpfs(dir.path(), 1024 * 1024);
  WriteQueueFiles();
  if (disk) {
    ASSERT_TRUE(disk->MakeReadOnly());
  } else {
    if (::geteuid() == 0) GTEST_SKIP() << "a folder without write permission does not stop this user";
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);
  }
  ExpectStartRefused(kOutgoingQueueFile);
  if (!disk) fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
}

// inbox.db goes first; when outbox.db then cannot go, inbox.db is put back.
TEST_F(ServerCoreTest, AFileThatCannotBeRemovedAfterAnotherPutsTheOtherBack) {
  WriteQueueFiles();
  // A file mounted over outbox.db: the server reads what it shows, and cannot remove it.
  ASSERT_TRUE(WriteMessageFile(Path("shown"), std::vector<packet>{MessagePacket("+7009", "r")}));
  const auto pinned = TestMount::Bind(Path("shown"), Path(kIncomingQueueFile));
  if (!pinned) GTEST_SKIP() << "this test may not mount a file system";
  ExpectStartRefused(kIncomingQueueFile);
}

TEST_F(ServerCoreTest, AQueueFileThatCannotBeReadStopsTheStartAndStays) {
  WriteQueueFiles();
  fs::remove(Path(kIncomingQueueFile));
  fs::create_directory(Path(kIncomingQueueFile));
  ServerCore server(dir.path());
  EXPECT_FALSE(server.Start(Config()));
  ASSERT_EQ(boxes.Asked().size(), 1u);
  EXPECT_NE(boxes.Asked()[0].text.find(Path(kIncomingQueueFile)), std::string::npos);
  EXPECT_EQ(ReadMessageFile(Path(kOutgoingQueueFile)).size(), 3u);
  EXPECT_TRUE(fs::is_directory(Path(kIncomingQueueFile)));
  LoopbackClient client(port);
  EXPECT_FALSE(client.connected());
}

}  // namespace
