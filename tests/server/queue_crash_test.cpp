// A crash at any moment loses nothing the server had taken: a process of its own
// (queue_crash_child) is killed with SIGKILL at each point of the table, and a
// restart finds every message once, in queue order. Only the message the modem
// was sending when the crash came may go twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "protocol/message_file.h"
#include "server/store/file_message_store.h"
#include "tests/server/modem_fixture.h"
#include "tests/server/queue_crash.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class QueueCrashTest : public ModemFixture {
 protected:
  ~QueueCrashTest() override {
    if (child_ > 0) {
      ::kill(child_, SIGKILL);
      ::waitpid(child_, nullptr, 0);
    }
  }

  void Spawn(std::vector<std::string> args) {
    args.insert(args.begin(), {QUEUE_CRASH_CHILD, dir.path()});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(::posix_spawn(&child_, QUEUE_CRASH_CHILD, nullptr, nullptr, argv.data(), environ), 0);
  }

  // How the child ended: the signal that killed it, or 1000 + its exit status.
  int Ended() {
    int status = 0;
    const bool ended = WaitUntil([&] { return ::waitpid(child_, &status, WNOHANG) == child_; }, 120s);
    if (!ended) return -1;
    child_ = -1;
    return WIFSIGNALED(status) ? WTERMSIG(status) : 1000 + WEXITSTATUS(status);
  }

  void Kill() {
    ASSERT_EQ(::kill(child_, SIGKILL), 0);
    ASSERT_EQ(Ended(), SIGKILL);
  }

  int ChildPort() {
    std::vector<int> ports;
    EXPECT_TRUE(WaitUntil([&] { return !(ports = ListeningPorts(child_)).empty(); }));
    return ports.empty() ? 0 : ports.front();
  }

  std::size_t FileRecords(const char* name) {
    std::error_code ec;
    const auto size = fs::file_size(dir.File(name), ec);
    return ec ? 0 : size / kPacketSize;
  }

  void WriteServerConfig(bool checkMail) {
    ASSERT_TRUE(WriteFileAtomically(dir.File(kConfigFile), "[CONNECTION]\nEthernetPort=" + std::to_string(kAnyPort) +
                                                               "\nCheckMail=" + (checkMail ? "1" : "0") +
                                                               "\n[DEVICEMAP]\nCOM5=1\n"));
  }

  // The queue of inbox.db as a new store loads it, by its messages' numbers; then
  // the close's compaction, after which the file alone holds the same queue.
  std::vector<int> Restarted() {
    std::vector<int> numbers;
    {
      FileMessageStore store(dir.File(kOutgoingQueueFile), true);
      PacketQueue queue(store);
      QueueFileRejects rejects;
      StoreFault fault;
      store.Load(queue, rejects, fault);
      EXPECT_TRUE(rejects.empty());
      for (const QueuedPacket& p : queue) numbers.push_back(std::stoi(std::string(p->text().substr(1))));
      EXPECT_TRUE(store.Open(fault));
      std::string entry;
      EXPECT_TRUE(store.Compact(entry));
    }
    std::vector<int> inFile;
    for (const packet& p : ReadMessageFile(dir.File(kOutgoingQueueFile)))
      inFile.push_back(std::stoi(std::string(p.text().substr(1))));
    EXPECT_EQ(inFile, numbers);
    for (const char* left : {"inbox.db.done", "inbox.db.tmp"}) EXPECT_FALSE(fs::exists(dir.File(left))) << left;
    return numbers;
  }

  pid_t child_ = -1;
};

TEST_F(QueueCrashTest, AStoreKilledAtEachStepLosesNothingItHad) {
  const std::vector<int> whole = StoreDayQueue();
  struct Row {
    const char* what;
    int step;         // a StoreStep; -1: no crash
    int minRecords;   // the step counts once the queue file holds this many records
  };
  const Row rows[] = {
      {"the first batch's records on disk", static_cast<int>(StoreStep::RecordsWritten), 0},
      {"the batch of m120 on disk, the sending of m12 perhaps not", static_cast<int>(StoreStep::RecordsWritten), 121},
      {"the close's new file written aside", static_cast<int>(StoreStep::RewriteWritten), 0},
      {"the rewrite logged", static_cast<int>(StoreStep::RewriteLogged), 0},
      {"the new file in place, the log of the old one still there", static_cast<int>(StoreStep::RewriteInPlace), 0},
      {"the log removed", static_cast<int>(StoreStep::LogRemoved), 0},
      {"no crash", -1, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (const char* name : {"inbox.db", "inbox.db.done", "inbox.db.tmp"}) fs::remove(dir.File(name));
    if (row.step < 0) {
      Spawn({"store"});
      ASSERT_EQ(Ended(), 1000);
    } else {
      Spawn({"store", std::to_string(row.step), std::to_string(row.minRecords)});
      ASSERT_EQ(Ended(), SIGKILL);
    }
    const std::vector<int> queue = Restarted();
    if (row.step == static_cast<int>(StoreStep::RecordsWritten) && row.minRecords == 0) {
      // Some of the first hundred, in order, from the first.
      ASSERT_FALSE(queue.empty());
      for (std::size_t i = 0; i < queue.size(); ++i) EXPECT_EQ(queue[i], static_cast<int>(i));
    } else if (row.minRecords == 121) {
      std::vector<int> sent12 = whole;
      std::vector<int> kept12 = whole;
      kept12.insert(kept12.begin(), 12);
      EXPECT_TRUE(queue == sent12 || queue == kept12) << ::testing::PrintToString(queue);
    } else {
      EXPECT_EQ(queue, whole);
    }
  }
}

// The case: 200 messages handed in, then kill -9: a restart holds them all.
TEST_F(QueueCrashTest, HandInsOnDiskSurviveAKill) {
  WriteServerConfig(false);
  Spawn({"server", "-"});
  std::vector<std::string> texts;
  {
    LoopbackClient client(ChildPort());
    for (int i = 0; i < 200; ++i) {
      texts.push_back("handed in " + std::to_string(i));
      ASSERT_TRUE(client.Send(MessagePacket("+79161234567", texts.back())));
    }
    // Within a moment of their coming, all on disk.
    ASSERT_TRUE(WaitUntil([&] { return FileRecords(kOutgoingQueueFile) == 200; }));
  }
  Kill();
  ServerFixture::StartServer(Config());
  EXPECT_EQ(OutgoingTexts(), texts);
}

// Messages read from the SIM: the restart's store and the SIM hold each one once,
// whether the kill came after the listing, before a message's record or after its
// delete. The next look at the SIM takes what is still there.
TEST_F(QueueCrashTest, MessagesReadFromTheSimAreNeitherLostNorTakenTwice) {
  const std::vector<std::string> texts = {"first on the SIM", "second on the SIM", "third on the SIM"};
  for (int taken = 0; taken <= 3; ++taken) {
    SCOPED_TRACE(std::to_string(taken) + " taken before the kill");
    for (const char* name : {"outbox.db", "outbox.db.done"}) fs::remove(dir.File(name));
    ASSERT_TRUE(sim.Stored().empty());
    for (const std::string& t : texts) ASSERT_GT(sim.Store({"+79160000001", t, {2026, 3, 12, 14, 5, 23, 12}}), 0);
    DeclareModem(sim.DevicePath());
    WriteServerConfig(true);
    if (taken < 3) {
      // Killed as it takes message `taken` + 1 in: the ones before are on disk and gone from the SIM.
      Spawn({"server", "modem", std::to_string(static_cast<int>(StoreStep::Appending)), std::to_string(taken)});
      ASSERT_EQ(Ended(), SIGKILL);
    } else {
      Spawn({"server", "modem"});
      ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return v.sim.Used() == 0; }));
      ASSERT_TRUE(WaitUntil([&] { return FileRecords(kIncomingQueueFile) == 3; }));
      Kill();
    }
    EXPECT_EQ(FileRecords(kIncomingQueueFile), static_cast<std::size_t>(taken));
    EXPECT_EQ(sim.Stored().size(), texts.size() - static_cast<std::size_t>(taken));

    StartServer(true);
    FindModem();
    ASSERT_TRUE(WaitUntil([&] { return Incoming() == texts.size() && sim.Stored().empty(); }));
    std::vector<std::string> got;
    {
      std::lock_guard guard(core->state().QueueLock);
      for (const QueuedPacket& p : core->state().IncomingQueue) got.emplace_back(p->text());
    }
    std::sort(got.begin(), got.end());
    std::vector<std::string> want = texts;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
    core->Close();
    core.reset();
  }
}

// The case: a kill in the middle of sending a batch of 10. Every message
// goes, and only the one the modem was given last before the kill may go twice.
TEST_F(QueueCrashTest, ABatchBeingSentIsSentOnceAfterARestart) {
  std::vector<packet> batch;
  for (int i = 1; i <= 10; ++i) batch.push_back(MessagePacket("+79161234567", "batch " + std::to_string(i)));
  ASSERT_TRUE(WriteMessageFile(dir.File(kOutgoingQueueFile), batch));
  DeclareModem(sim.DevicePath());
  WriteServerConfig(false);
  Spawn({"server", "modem"});
  ASSERT_TRUE(sim.WaitFor([](const ModemSimView& v) { return v.sends.size() >= 6; }));
  Kill();

  StartServer(false);
  FindModem();
  ASSERT_TRUE(sim.WaitFor([&](const ModemSimView& v) {
    std::set<std::string> texts;
    for (const SimSend& s : v.sends) texts.insert(s.decoded.text);
    return texts.size() == batch.size();
  }));
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 0; }));
  std::map<std::string, int> sent;
  int twice = 0;
  for (const SimSend& s : sim.Sends()) twice += ++sent[s.decoded.text] == 2 ? 1 : 0;
  EXPECT_EQ(sent.size(), batch.size());
  EXPECT_LE(twice, 1);
  for (const auto& [text, times] : sent) EXPECT_LE(times, 2) << text;
}

}  // namespace
