// One queue's store: what leaves the queue and what goes to its back is what a
// restart finds, whatever state a crash left the files in; the queue file is
// written anew when most of it is done and at the close; a store that cannot
// write says so and goes on trying.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "server/store/file_message_store.h"
#include "server/store/store_log.h"
#include "tests/server/queue_crash.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

namespace fs = std::filesystem;

// A store of inbox.db with the queue it loaded.
struct Opened {
  std::unique_ptr<FileMessageStore> store;
  std::unique_ptr<PacketQueue> queue;
  QueueFileRejects rejects;
};

class MessageStoreTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir.File(name); }
  std::string QueuePath() const { return Path("inbox.db"); }

  Opened Load(bool open = true) {
    Opened o{std::make_unique<FileMessageStore>(QueuePath(), true), nullptr, {}};
    o.queue = std::make_unique<PacketQueue>(*o.store);
    StoreFault fault;
    EXPECT_NE(o.store->Load(*o.queue, o.rejects, fault), QueueFileLoad::Unreadable);
    if (open) {
      EXPECT_TRUE(o.store->Open(fault)) << fault.path << ": " << fault.error;
    }
    return o;
  }

  // The queue a new store loads, by the numbers of its messages ("m12" is 12).
  std::vector<int> Reloaded() {
    Opened o = Load(false);
    return Numbers(*o.queue);
  }

  static std::vector<int> Numbers(const PacketQueue& queue) {
    std::vector<int> out;
    for (const QueuedPacket& p : queue) out.push_back(std::stoi(std::string(p->text().substr(1))));
    return out;
  }

  void WriteRecords(const std::vector<int>& numbers) {
    std::vector<packet> records;
    for (int n : numbers) records.push_back(CrashMessage(n));
    ASSERT_TRUE(WriteMessageFile(QueuePath(), records));
  }

  static std::string LogBytes(const std::vector<LogEntry>& entries) {
    std::string bytes;
    for (const LogEntry& e : entries) {
      const auto encoded = EncodeLogEntry(e);
      bytes.append(reinterpret_cast<const char*>(encoded.data()), encoded.size());
    }
    return bytes;
  }

  static std::uint64_t DigestOf(const std::vector<int>& numbers) {
    RecordDigest digest;
    for (int n : numbers) digest.Add(CrashMessage(n).raw());
    return digest.Value();
  }

  TempDir dir;
};

TEST(StoreLog, EntriesRoundTripAndAnythingElseIsNoEntry) {
  for (const LogEntry& e : {DoneEntry(0), DoneEntry(123456789012ULL), MovedEntry(7, 9), RewrittenEntry(3, ~0ULL)}) {
    const auto bytes = EncodeLogEntry(e);
    EXPECT_EQ(DecodeLogEntry(bytes), e);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      auto changed = bytes;
      changed[i] ^= 0x10;
      EXPECT_FALSE(DecodeLogEntry(changed)) << "byte " << i;
    }
  }
  EXPECT_FALSE(DecodeLogEntry(std::array<std::uint8_t, kLogEntrySize>{}));
}

// What the threads do to a queue, and the queue a restart finds, before and after
// the close has compacted the file.
TEST_F(MessageStoreTest, WhatLeftAndWhatWentToTheBackIsWhatARestartFinds) {
  enum Op { Append, Ack, Move };
  struct Case {
    const char* what;
    std::vector<std::pair<Op, int>> ops;
    std::vector<int> queue;
  };
  const Case cases[] = {
      {"sent and failed", {{Append, 1}, {Append, 2}, {Append, 3}, {Append, 4}, {Append, 5}, {Ack, 1}, {Move, 3}},
       {2, 4, 5, 3}},
      {"hand-ins behind a failed one, then it fails again",
       {{Append, 1}, {Append, 2}, {Append, 3}, {Move, 1}, {Append, 4}, {Move, 2}, {Ack, 3}}, {1, 4, 2}},
      {"moved twice with nothing in between", {{Append, 1}, {Append, 2}, {Move, 1}, {Move, 1}, {Append, 3}, {Move, 2}},
       {1, 3, 2}},
      {"all sent", {{Append, 1}, {Append, 2}, {Ack, 1}, {Ack, 2}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(QueuePath());
    fs::remove(Path("inbox.db.done"));
    {
      Opened o = Load();
      std::map<int, RecordId> ids;
      for (const auto& [op, n] : c.ops) {
        if (op == Append) ids[n] = o.store->Append(CrashMessage(n));
        if (op == Ack) o.store->Acknowledge(ids[n]);
        if (op == Move) o.store->MoveToBack(ids[n]);
      }
      ASSERT_TRUE(o.store->Flush());
    }  // gone without a close, as in a crash
    EXPECT_EQ(Reloaded(), c.queue);

    {
      Opened o = Load();
      std::string entry;
      ASSERT_TRUE(o.store->Compact(entry));
    }
    std::vector<int> inFile;
    for (const packet& p : ReadMessageFile(QueuePath())) inFile.push_back(std::stoi(std::string(p.text().substr(1))));
    EXPECT_EQ(inFile, c.queue) << "the file holds exactly the queue";
    EXPECT_EQ(fs::exists(QueuePath()), !c.queue.empty());
    EXPECT_FALSE(fs::exists(Path("inbox.db.done")));
    EXPECT_EQ(Reloaded(), c.queue);
  }
}

// Each state a crash, a power cut or a person can leave the files in. The start
// finds the queue they mean, and what it adds afterwards is read right too.
TEST_F(MessageStoreTest, TheStartCopesWithEveryStateACrashLeaves) {
  struct Case {
    const char* what;
    std::vector<int> records;  // in inbox.db; none: no file
    std::string log;           // inbox.db.done's bytes
    std::vector<int> aside;    // in inbox.db.tmp; none: no file
    std::vector<int> queue;
  };
  const std::string zeros(2 * kLogEntrySize, '\0');
  const std::string garbage(kLogEntrySize, 'x');
  const Case cases[] = {
      {"no log: every record is queued", {0, 1, 2}, "", {}, {0, 1, 2}},
      {"a torn last entry", {0, 1, 2}, LogBytes({DoneEntry(0)}) + "torn", {}, {1, 2}},
      {"a damaged entry between sound ones", {0, 1, 2}, LogBytes({DoneEntry(0)}) + garbage + LogBytes({DoneEntry(2)}),
       {}, {1}},
      {"zeros after the entries", {0, 1, 2}, LogBytes({DoneEntry(1)}) + zeros, {}, {0, 2}},
      {"entries ahead of the file", {0, 1, 2}, LogBytes({DoneEntry(3), MovedEntry(4, 9)}), {}, {0, 1, 2}},
      {"a move to a place past the file", {0, 1, 2}, LogBytes({MovedEntry(0, 9)}), {}, {1, 2, 0}},
      {"a rewrite written aside and logged, not in place",
       {0, 1, 2, 3, 4},
       LogBytes({DoneEntry(0), DoneEntry(1), MovedEntry(2, 5), RewrittenEntry(3, DigestOf({3, 4, 2}))}),
       {3, 4, 2},
       {3, 4, 2}},
      {"a rewrite in place, its log not removed yet",
       {3, 4, 2}, LogBytes({DoneEntry(0), DoneEntry(1), MovedEntry(2, 5), RewrittenEntry(3, DigestOf({3, 4, 2}))}),
       {}, {3, 4, 2}},
      {"a rewrite to nothing, the file removed", {},
       LogBytes({DoneEntry(0), DoneEntry(1), RewrittenEntry(0, DigestOf({}))}), {}, {}},
      {"a rewrite aside cut short", {0, 1, 2}, LogBytes({DoneEntry(0)}), {1}, {1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* name : {"inbox.db", "inbox.db.done", "inbox.db.tmp"}) fs::remove(Path(name));
    if (!c.records.empty()) WriteRecords(c.records);
    if (!c.log.empty()) {
      ASSERT_TRUE(WriteFileAtomically(Path("inbox.db.done"), c.log));
    }
    if (!c.aside.empty()) {
      std::vector<packet> aside;
      for (int n : c.aside) aside.push_back(CrashMessage(n));
      ASSERT_TRUE(WriteMessageFile(Path("inbox.db.tmp.x"), aside));
      fs::rename(Path("inbox.db.tmp.x"), Path("inbox.db.tmp"));
    }
    EXPECT_EQ(Reloaded(), c.queue);

    // Taken over and used, then gone as in a crash: what it added reads right.
    {
      Opened o = Load();
      EXPECT_EQ(Numbers(*o.queue), c.queue);
      std::map<int, RecordId> ids;
      for (const QueuedPacket& p : *o.queue) ids[std::stoi(std::string(p->text().substr(1)))] = p.id;
      for (int n : {7, 8, 9}) ids[n] = o.store->Append(CrashMessage(n));
      o.store->Acknowledge(ids[8]);
      if (!c.queue.empty()) o.store->MoveToBack(ids[c.queue.front()]);
      ASSERT_TRUE(o.store->Flush());
    }
    std::vector<int> after(c.queue.empty() ? c.queue.begin() : c.queue.begin() + 1, c.queue.end());
    after.insert(after.end(), {7, 9});
    if (!c.queue.empty()) after.push_back(c.queue.front());
    EXPECT_EQ(Reloaded(), after);
  }
}

// Most of a long file done: it is written anew, without its done records, while
// the store goes on taking records in.
TEST_F(MessageStoreTest, AFileMostlyDoneIsWrittenAnew) {
  constexpr int kRecords = 2 * static_cast<int>(FileMessageStore::kRewriteFrom) + 100;
  Opened o = Load();
  std::vector<RecordId> ids;
  for (int i = 0; i < kRecords; ++i) ids.push_back(o.store->Append(CrashMessage(i)));
  ASSERT_TRUE(o.store->Flush());
  constexpr int kDone = kRecords / 2 + 1;
  for (int i = 0; i < kDone; ++i) o.store->Acknowledge(ids[static_cast<std::size_t>(i)]);
  o.store->MoveToBack(ids[kDone]);
  ASSERT_TRUE(o.store->Flush());
  const auto live = static_cast<std::uintmax_t>(kRecords - kDone);
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(QueuePath()) && fs::file_size(QueuePath()) == live * kPacketSize; }));
  EXPECT_FALSE(fs::exists(Path("inbox.db.done")));

  // The ids still name the same records in the new file.
  o.store->Acknowledge(ids[kDone + 1]);
  o.store->Append(CrashMessage(kRecords));
  ASSERT_TRUE(o.store->Flush());
  std::vector<int> expected;
  for (int i = kDone + 2; i < kRecords; ++i) expected.push_back(i);
  expected.push_back(kDone);
  expected.push_back(kRecords);
  EXPECT_EQ(Reloaded(), expected);
}

// A queue file that cannot be written: Flush says so at once, the store keeps
// what it took and writes it once it can.
TEST_F(MessageStoreTest, AStoreThatCannotWriteSaysSoAndWritesOnceItCan) {
  Opened o = Load();
  fs::create_directory(QueuePath());
  o.store->Append(CrashMessage(1));
  EXPECT_FALSE(o.store->Flush());
  EXPECT_EQ(errno, EISDIR);
  fs::remove(QueuePath());
  o.store->Append(CrashMessage(2));
  EXPECT_TRUE(o.store->Flush());
  EXPECT_EQ(ReadMessageFile(QueuePath()).size(), 2u);
}

}  // namespace
