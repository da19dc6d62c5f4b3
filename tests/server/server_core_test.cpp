// Start-up and orderly close: the queues across a restart, a failed start, and
// connections still open at close.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/cipher.h"
#include "protocol/message_file.h"
#include "server/store/queue_file.h"
#include "tests/server/server_fixture.h"
#include "tests/server/test_mount.h"
#include "tests/support/captured_stderr.h"

namespace {

namespace fs = std::filesystem;

class ServerCoreTest : public ServerFixture {
 protected:
  std::string Path(const char* name) const { return PathJoin(dir.path(), name); }
  bool Exists(const char* name) const { return fs::exists(Path(name)); }
  std::size_t Size(const char* name) const { return fs::file_size(Path(name)); }
  std::vector<std::string> FileTexts(const char* name) const {
    std::vector<std::string> texts;
    for (const packet& p : ReadMessageFile(Path(name))) texts.emplace_back(p.text());
    return texts;
  }

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
      core->state().OutgoingQueue.Append(std::move(p));
    }
  }

  // With the server running and `count` packets queued to go out, the outgoing
  // queue file cannot be written (failing with `error`, `inTheWay` the entry that
  // stops it) until `mend` runs. A close keeps every packet and says so, naming the
  // entry; the next close after mending saves them all.
  void ExpectKeptUntilMended(std::size_t count, int error, const char* inTheWay, const std::function<void()>& mend) {
    // The other queue's file is written before the disk fills.
    QueueIncoming({MessagePacket("+7009", "received")});
    ASSERT_TRUE(core->state().IncomingStore->Flush());
    QueueOutgoing(count);
    const std::vector<std::string> texts = OutgoingTexts();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(core->Close());
    const std::string said = CapturedStderr();
    EXPECT_NE(said.find("cannot write " + Path(kOutgoingQueueFile) + ": "), std::string::npos) << said;
    EXPECT_NE(said.find(Path(inTheWay) + ": "), std::string::npos) << said;
    ASSERT_EQ(core->save_faults().size(), 1u);
    EXPECT_EQ(core->save_faults()[0].path, Path(kOutgoingQueueFile));
    EXPECT_EQ(core->save_faults()[0].entry, Path(inTheWay));
    EXPECT_EQ(core->save_faults()[0].error, error);
    EXPECT_EQ(core->save_faults()[0].packets, count);
    EXPECT_EQ(OutgoingTexts(), texts);
    EXPECT_FALSE(fs::is_regular_file(Path("inbox.db.tmp")));  // nothing half written left
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

  // Both queue files are there, each with a record to set aside, and something
  // keeps the server from starting: it reports the file named, never serves, and
  // leaves the queue files and their set-aside files as they were, however often
  // it is tried.
  void ExpectStartRefused(const char* named) {
    const char* files[] = {kOutgoingQueueFile, kIncomingQueueFile, "inbox.db.bad", "outbox.db.bad"};
    std::vector<std::optional<std::string>> before;
    for (const char* f : files) before.push_back(ReadWholeFile(Path(f)));
    for (std::size_t attempt = 1; attempt <= 3; ++attempt) {
      ServerCore server(dir.path());
      EXPECT_FALSE(server.Start(Config()));
      EXPECT_TRUE(server.state().StopFlag.load());
      ASSERT_EQ(boxes.Asked().size(), attempt);
      EXPECT_EQ(boxes.Asked().back().caption, Ansi("Ошибка"));
      EXPECT_NE(boxes.Asked().back().text.find(Path(named)), std::string::npos) << boxes.Asked().back().text;
      for (std::size_t i = 0; i < std::size(files); ++i)
        EXPECT_EQ(ReadWholeFile(Path(files[i])), before[i]) << files[i] << ", attempt " << attempt;
      EXPECT_FALSE(Exists("inbox.db.done"));
      LoopbackClient client(port);
      EXPECT_FALSE(client.connected());
    }
  }

  // Three messages to send and one received, each file with a record that is no
  // message behind them, and a record set aside by an earlier start.
  void WriteQueueFiles() {
    std::vector<packet> outgoing = Three();
    outgoing.push_back(ZeroRecord());
    const std::vector<packet> received = {MessagePacket("+7009", "r"), ZeroRecord()};
    const std::vector<packet> setAside = {MessagePacket("+7000", "set aside before")};
    ASSERT_TRUE(WriteMessageFile(Path(kOutgoingQueueFile), outgoing));
    ASSERT_TRUE(WriteMessageFile(Path(kIncomingQueueFile), received));
    ASSERT_TRUE(WriteMessageFile(Path("inbox.db.bad"), setAside));
  }

  static packet ZeroRecord() {
    packet p;
    PacketInit(p);
    return p;
  }

  static std::vector<packet> Three() {
    return {MessagePacket("+7001", "one"), MessagePacket("+7002", "two"), MessagePacket("+7003", "three")};
  }
};

// While the server runs, the queue files hold the queues; after a close they hold
// exactly the queues, and nothing is left beside them.
TEST_F(ServerCoreTest, QueuesSurviveARestartInOrder) {
  ASSERT_TRUE(WriteMessageFile(Path(kOutgoingQueueFile), Three()));
  ASSERT_TRUE(WriteMessageFile(Path(kIncomingQueueFile), std::vector<packet>{MessagePacket("+7009", "received")}));
  StartServer(Config());
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(Incoming(), 1u);

  LoopbackClient client(port);
  ASSERT_TRUE(client.Send(MessagePacket("+7004", "four")));
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 4; }));
  ASSERT_TRUE(core->state().OutgoingStore->Flush());
  EXPECT_EQ(FileTexts(kOutgoingQueueFile), (std::vector<std::string>{"one", "two", "three", "four"}));

  Restart();
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"one", "two", "three", "four"}));
  EXPECT_EQ(Incoming(), 1u);
  core->Close();
  EXPECT_EQ(FileTexts(kOutgoingQueueFile), (std::vector<std::string>{"one", "two", "three", "four"}));
  EXPECT_EQ(FileTexts(kIncomingQueueFile), (std::vector<std::string>{"received"}));
  for (const char* left : {"inbox.db.done", "outbox.db.done", "inbox.db.tmp", "outbox.db.tmp"})
    EXPECT_FALSE(Exists(left)) << left;
}

// What a queue file may hold besides sound messages, and what becomes of it in
// the outgoing file (inbox.db) and in the incoming one (outbox.db): it is set
// aside, or queued with the text its length counts and, to be sent, its number as
// the modem takes it (a received message's sender may be a name).
struct StoredRecord {
  std::string what;
  packet record;
  bool setAsideToSend;
  bool setAsideReceived;
  std::string numberToSend;  // when queued from inbox.db
  std::string text;          // when queued
};

std::vector<StoredRecord> StoredRecords() {
  std::vector<StoredRecord> out;
  for (const BrokenPacket& b : BrokenPackets()) out.push_back({b.what, b.record, true, true, "", ""});
  packet zero;
  PacketInit(zero);
  std::ranges::fill(zero.text_field(), std::uint8_t{0});
  out.push_back({"a zero record", zero, true, true, "", ""});
  packet login = MessagePacket("user", "password");
  login.set_type(kPacketLogin);
  out.push_back({"a login answer", login, true, true, "", ""});
  packet seven = MessagePacket("+7001", "type 7");
  seven.set_type(7);
  out.push_back({"type 7", seven, true, true, "", ""});
  out.push_back({"a name for a number", MessagePacket("Bank", "from a name"), true, false, "", "from a name"});
  out.push_back({"an empty number", MessagePacket("", "to nobody"), true, false, "", "to nobody"});
  out.push_back({"a number with separators", MessagePacket("8 (916) 123-45-67", "dialled"), false, false,
                 "89161234567", "dialled"});
  packet padded = MessagePacket("+7002", "meet at 5");
  padded.text_field()[9] = '0';  // past the length: not covered by the checksum
  out.push_back({"a byte after the length", padded, false, false, "+7002", "meet at 5"});
  packet hidden = MessagePacket("+7003", "");
  const std::string_view behind = "hidden behind length 0";
  std::ranges::copy(behind, hidden.text_field().begin());
  out.push_back({"a text behind length 0", hidden, false, false, "+7003", ""});
  return out;
}

// Each record lies between two sound ones in both files, which end with a record
// cut short: what is set aside goes to the file's .bad, after what an earlier start
// put there, and everything else is queued in file order.
TEST_F(ServerCoreTest, WhatIsNoSoundMessageIsSetAsideAndTheRestQueuedInOrder) {
  const std::vector<StoredRecord> rows = StoredRecords();
  const packet cut = MessagePacket("+7009", "cut short by a crash");
  const std::string tail(reinterpret_cast<const char*>(cut.raw().data()), 500);
  packet padded;  // the cut record as it is set aside
  std::ranges::fill(padded.raw(), std::uint8_t{0});
  std::ranges::copy(cut.raw().first(500), padded.raw().begin());
  const packet earlier = MessagePacket("+7000", "set aside by an earlier start");

  struct Expected {
    std::vector<std::pair<std::string, std::string>> queued;  // number, text
    std::vector<packet> setAside;
  } toSend, received;
  for (Expected* e : {&toSend, &received}) {
    std::vector<packet> file;
    const bool sending = e == &toSend;
    if (sending) e->setAside.push_back(earlier);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const StoredRecord& row = rows[i];
      const packet before = MessagePacket("+7001", "before " + std::to_string(i));
      file.push_back(before);
      file.push_back(row.record);
      e->queued.emplace_back(before.number(), before.text());
      if (sending ? row.setAsideToSend : row.setAsideReceived)
        e->setAside.push_back(row.record);
      else
        e->queued.emplace_back(sending ? row.numberToSend : std::string(row.record.number()), row.text);
    }
    file.push_back(MessagePacket("+7001", "last"));
    e->queued.emplace_back("+7001", "last");
    e->setAside.push_back(padded);
    const std::string bytes =
        MessageFileImage(file.size(), [&](std::size_t i) -> const packet& { return file[i]; }) + tail;
    ASSERT_TRUE(WriteFileAtomically(Path(sending ? kOutgoingQueueFile : kIncomingQueueFile), bytes));
  }
  ASSERT_TRUE(WriteMessageFile(Path("inbox.db.bad"), std::vector<packet>{earlier}));

  testing::internal::CaptureStderr();
  StartServer(Config());
  const std::string said = CapturedStderr();
  const auto queued = [&](const PacketQueue& queue) {
    std::lock_guard guard(core->state().QueueLock);
    std::vector<std::pair<std::string, std::string>> out;
    for (const QueuedPacket& p : queue) out.emplace_back(p->number(), p->text());
    return out;
  };
  EXPECT_EQ(queued(core->state().OutgoingQueue), toSend.queued);
  EXPECT_EQ(queued(core->state().IncomingQueue), received.queued);
  const auto setAside = [&](const char* name) {
    const auto records = ReadMessageFile(Path(name));
    EXPECT_EQ(Size(name), records.size() * kPacketSize) << name << " holds whole records only";
    return records;
  };
  EXPECT_EQ(setAside("inbox.db.bad"), toSend.setAside);
  EXPECT_EQ(setAside("outbox.db.bad"), received.setAside);
  const std::string lines[] = {
      std::to_string(toSend.setAside.size() - 1) + " damaged records of " + Path(kOutgoingQueueFile),
      "2 to a number the modem cannot take, 1 cut short at the end) are not queued; set aside in " +
          Path("inbox.db.bad"),
      std::to_string(received.setAside.size()) + " damaged records of " + Path(kIncomingQueueFile),
      "1 cut short at the end) are not queued; set aside in " + Path("outbox.db.bad")};
  for (const std::string& line : lines) EXPECT_NE(said.find(line), std::string::npos) << line << " not in: " << said;
  EXPECT_TRUE(boxes.Asked().empty());

  // Only what was queued comes back from a restart, and nothing is set aside again.
  Restart();
  EXPECT_EQ(queued(core->state().OutgoingQueue), toSend.queued);
  EXPECT_EQ(setAside("inbox.db.bad"), toSend.setAside);
}

// Records that cannot be set aside would go with the queue file: the start is
// refused, and what it set aside from the other file is taken back.
TEST_F(ServerCoreTest, RecordsThatCannotBeSetAsideStopTheStart) {
  WriteQueueFiles();
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
// its name, or the name of the file written aside; or, where the test may mount a
// file system, a full disk that grows.
TEST_F(ServerCoreTest, AQueueThatCannotBeSavedKeepsItsPacketsUntilASaveSucceeds) {
  StartServer(Config());
  fs::create_directory(Path(kOutgoingQueueFile));
  ExpectKeptUntilMended(3, EISDIR, kOutgoingQueueFile, [&] { fs::remove(Path(kOutgoingQueueFile)); });
}

TEST_F(ServerCoreTest, AFullDiskKeepsThePacketsUntilThereIsSpace) {
  const auto disk = TestMount::Tmpfs(dir.path(), 64 * 1024);
  if (!disk) GTEST_SKIP() << "this test may not mount a file system";
  StartServer(Config());
  ExpectKeptUntilMended(100, ENOSPC, kOutgoingQueueFile, [&] { ASSERT_TRUE(disk->Resize(1024 * 1024)); });
}

// The close cannot write the queue file anew (a folder took the name it is
// written aside under): the queue is saved all the same, as the file and its log
// hold it, and standard error says the file was not written anew.
TEST_F(ServerCoreTest, AQueueFileThatCannotBeWrittenAnewStillHoldsTheQueue) {
  StartServer(Config());
  QueueOutgoing(3);
  {
    std::lock_guard guard(core->state().QueueLock);
    core->state().OutgoingStore->Acknowledge(core->state().OutgoingQueue.TakeFront().id);  // sent
  }
  fs::create_directory(Path("inbox.db.tmp"));
  testing::internal::CaptureStderr();
  EXPECT_TRUE(core->Close());
  const std::string said = CapturedStderr();
  EXPECT_NE(said.find("cannot write " + Path(kOutgoingQueueFile) + " anew: " + Path("inbox.db.tmp") + ": "),
            std::string::npos)
      << said;
  fs::remove(Path("inbox.db.tmp"));
  Restart();
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"message 1", "message 2"}));
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

// inbox.db's store takes over its files first; when outbox.db's then cannot write
// its log, what inbox.db's had set aside and noted is taken back.
TEST_F(ServerCoreTest, AStoreThatCannotWriteAfterAnotherPutsTheOtherBack) {
  WriteQueueFiles();
  ASSERT_TRUE(WriteFileAtomically(Path("outbox.db.done"), ""));
  const auto pinned = TestMount::Bind(Path("outbox.db.done"), Path("outbox.db.done"));
  if (!pinned || !pinned->MakeReadOnly()) GTEST_SKIP() << "this test may not mount a file system";
  ExpectStartRefused("outbox.db.done");
  EXPECT_FALSE(Exists("inbox.db.done"));
}

// A FIFO would hold the start for good (nothing ends a wait for its writer), and
// what is not a regular file holds no records: the start is refused and says so.
TEST_F(ServerCoreTest, AQueueFileThatIsNoRegularFileStopsTheStart) {
  for (const char* name : {kOutgoingQueueFile, kIncomingQueueFile}) {
    for (const bool fifo : {true, false}) {
      SCOPED_TRACE(std::string(name) + (fifo ? " as a FIFO" : " as a folder"));
      WriteQueueFiles();
      fs::remove(Path(name));
      if (fifo) {
        ASSERT_EQ(::mkfifo(Path(name).c_str(), 0644), 0);
      } else {
        fs::create_directory(Path(name));
      }
      const char* other = name == kOutgoingQueueFile ? kIncomingQueueFile : kOutgoingQueueFile;
      const auto kept = ReadWholeFile(Path(other));
      const std::size_t shown = boxes.Asked().size();
      ServerCore server(dir.path());
      EXPECT_FALSE(server.Start(Config()));
      ASSERT_EQ(boxes.Asked().size(), shown + 1);
      EXPECT_NE(boxes.Asked().back().text.find(Path(name)), std::string::npos);
      EXPECT_NE(boxes.Asked().back().text.find(Ansi("это не обычный файл")), std::string::npos);
      EXPECT_EQ(fs::status(Path(name)).type(), fifo ? fs::file_type::fifo : fs::file_type::directory);
      EXPECT_EQ(ReadWholeFile(Path(other)), kept);
      LoopbackClient client(port);
      EXPECT_FALSE(client.connected());
      fs::remove(Path(name));
    }
  }
}

}  // namespace
