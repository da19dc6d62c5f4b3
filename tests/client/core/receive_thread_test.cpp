#include "client/core/receive_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/cipher.h"
#include "protocol/message_file.h"
#include "tests/client/core/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

// Stands in for the user: answers login prompts from a queue and records the
// connection messages.
class FakeUser : public ReceiveHooks {
 public:
  explicit FakeUser(std::string dir) : dir_(std::move(dir)) {}

  std::string AppDir() const override { return dir_; }

  void RunLoginDialog(const SendLogin& send) override {
    std::optional<LoginAnswer> answer;
    {
      std::lock_guard guard(lock_);
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
    }
    if (answer) send(*answer);
  }

  void ShowConnectionMessage(std::string_view text) override {
    std::lock_guard guard(lock_);
    messages_.push_back(AnsiToUtf8(text));
    changed_.notify_all();
  }

  void ShowWarning(std::string_view text) override { ShowConnectionMessage(text); }

  void QueueAnswer(std::optional<LoginAnswer> answer) {
    std::lock_guard guard(lock_);
    answers_.push_back(std::move(answer));
  }

  bool WaitForMessages(std::size_t count) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return messages_.size() >= count; });
  }

  std::vector<std::string> Messages() {
    std::lock_guard guard(lock_);
    return messages_;
  }

 private:
  const std::string dir_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::optional<LoginAnswer>> answers_;
  std::vector<std::string> messages_;
};

class ReceiveThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client.port = server.port();
    ASSERT_TRUE(client.Connect("127.0.0.1"));
    peer = server.Accept();
    ASSERT_TRUE(peer.valid());
    threads.StartReceiveThread(client, user);
  }
  void TearDown() override {
    client.Close();
    threads.JoinAll();
  }
  std::string Inbox() const { return PathJoin(dir.path(), "inbox.db"); }

  TempDir dir;
  LoopbackServer server;
  stream_client client;
  LoopbackPeer peer;
  FakeUser user{dir.path()};
  ReceiveThreads threads;
};

const std::string kGone = "Сервер сбросил соединение";

TEST_F(ReceiveThreadTest, ReceivedMessagesAreAppendedToInboxInArrivalOrder) {
  const packet first = MakePacket(kPacketMessage, "+79001112233", Ansi("Привет"), "09.12.2026 10:00:00");
  const packet second = MakePacket(kPacketMessage, "+79004445566", "second", "09.12.2026 10:01:00");
  ASSERT_TRUE(peer.Send(first));
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginAccepted)));  // changes nothing
  ASSERT_TRUE(peer.Send(second));
  peer.Close();
  ASSERT_TRUE(user.WaitForMessages(1));
  EXPECT_EQ(user.Messages(), std::vector<std::string>{kGone});
  EXPECT_EQ(ReadMessageFile(Inbox()), (std::vector<packet>{first, second}));
  EXPECT_FALSE(client.connected());
}

TEST_F(ReceiveThreadTest, InboxGrowsAfterTheRecordsAlreadyThere) {
  const packet old = MakePacket(kPacketMessage, "+1", "old");
  ASSERT_TRUE(WriteMessageFile(Inbox(), std::span(&old, 1)));
  const packet fresh = MakePacket(kPacketMessage, "+2", "fresh");
  ASSERT_TRUE(peer.Send(fresh));
  peer.Close();
  ASSERT_TRUE(user.WaitForMessages(1));
  EXPECT_EQ(ReadMessageFile(Inbox()), (std::vector<packet>{old, fresh}));
}

TEST_F(ReceiveThreadTest, TwoFetchesKeepEveryRecordInArrivalOrder) {
  const packet old = MakePacket(kPacketMessage, "+1", "old");
  ASSERT_TRUE(WriteMessageFile(Inbox(), std::span(&old, 1)));
  std::vector<packet> expected{old};
  const auto fetch = [&](int n) {
    for (int i = 0; i < 50; ++i) {
      expected.push_back(MakePacket(kPacketMessage, "+7" + std::to_string(n), "message " + std::to_string(i)));
      ASSERT_TRUE(peer.Send(expected.back()));
    }
  };
  // What the server sends after a fetch is acted on only once the fetch is stored.
  fetch(1);
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginRefused)));
  ASSERT_TRUE(user.WaitForMessages(1));
  EXPECT_EQ(ReadMessageFile(Inbox()), expected);
  // A fetch cut short by the server going away is stored as well.
  fetch(2);
  peer.Close();
  ASSERT_TRUE(user.WaitForMessages(2));
  EXPECT_EQ(ReadMessageFile(Inbox()), expected);
}

// A client that dies mid-fetch keeps what it had: each message is in inbox.db
// as soon as it has arrived whole, while the rest of the stream is still due.
TEST_F(ReceiveThreadTest, ThreadStoppedMidStreamLeavesEveryWholeMessageInInbox) {
  std::vector<packet> sent;
  for (int i = 0; i < 500; ++i) {
    sent.push_back(MakePacket(kPacketMessage, "+7", "message " + std::to_string(i)));
    ASSERT_TRUE(peer.Send(sent.back()));
  }
  packet next = MakePacket(kPacketMessage, "+7", "in flight");
  EncodeBuffer(next.raw());
  ASSERT_TRUE(peer.SendBytes(std::string_view(reinterpret_cast<const char*>(next.raw().data()), kPacketSize / 2)));
  // The stream has not paused: the thread waits for the rest of the next one.
  ASSERT_TRUE(WaitUntil([&] { return ReadMessageFile(Inbox()).size() == sent.size(); }));
  client.Close();
  threads.JoinAll();
  EXPECT_EQ(ReadMessageFile(Inbox()), sent);
  EXPECT_EQ(std::filesystem::file_size(Inbox()), sent.size() * kPacketSize) << "nothing of the one in flight";
}

TEST_F(ReceiveThreadTest, MessageThatCannotBeStoredIsReported) {
  std::filesystem::create_directory(Inbox());  // in the way of the file
  ASSERT_TRUE(peer.Send(MakePacket(kPacketMessage, "+7", "nowhere to go")));
  ASSERT_TRUE(user.WaitForMessages(1));
  EXPECT_EQ(user.Messages(), std::vector<std::string>{"Не удалось записать файл " + Inbox()});
  EXPECT_TRUE(client.connected()) << "the connection carries on";
}

TEST_F(ReceiveThreadTest, LoginPromptIsAnsweredWithNameCutTo24AndPasswordAsTyped) {
  const std::string name25 = "abcdefghijklmnopqrstuvwxy";
  const std::string password = Ansi("пароль-из-25-символов-123");
  user.QueueAnswer(LoginAnswer{name25, password});
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLogin)));
  const auto answer = peer.Receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->type(), kPacketLogin);
  EXPECT_EQ(answer->number(), name25.substr(0, 24));
  EXPECT_EQ(answer->text(), password);
  EXPECT_TRUE(PacketVerify(*answer));
}

TEST_F(ReceiveThreadTest, UnconfirmedLoginSendsNothing) {
  user.QueueAnswer(std::nullopt);
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLogin)));
  // Packets are handled one by one: once the refusal after it is shown, the
  // login prompt is over.
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginRefused)));
  ASSERT_TRUE(user.WaitForMessages(1));
  EXPECT_TRUE(peer.Quiet());
  EXPECT_TRUE(client.connected()) << "the server keeps waiting for the answer";
}

// A server that asked for a login ends the connection on anything else: until
// it accepts one, nothing but the answer goes, and a refused send leaves the
// connection as it was.
TEST_F(ReceiveThreadTest, UntilTheLoginIsAcceptedOnlyTheAnswerGoes) {
  packet message = MakePacket(kPacketMessage, "+7", "early");
  EXPECT_FALSE(client.LoginPending()) << "no login asked";
  user.QueueAnswer(std::nullopt);  // put away unanswered
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLogin)));
  ASSERT_TRUE(WaitUntil([&] { return client.LoginPending(); }));
  EXPECT_EQ(client.Current()->login(), LoginState::Asked);
  packet copy = message;
  EXPECT_FALSE(client.Send(copy));
  EXPECT_TRUE(client.connected());

  SendLoginAnswer(client, client.Current(), LoginAnswer{"ivan", "secret"});
  EXPECT_TRUE(client.LoginPending()) << "answered, not yet accepted";
  const auto answer = peer.Receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->type(), kPacketLogin);
  EXPECT_EQ(answer->number(), "ivan");
  copy = message;
  EXPECT_FALSE(client.Send(copy));
  EXPECT_TRUE(peer.Quiet());

  ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginAccepted)));
  ASSERT_TRUE(WaitUntil([&] { return !client.LoginPending(); }));
  copy = message;
  EXPECT_TRUE(client.Send(copy));
  const auto sent = peer.Receive();
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->text(), "early");
  EXPECT_TRUE(user.Messages().empty());
}

TEST_F(ReceiveThreadTest, RefusedLoginStaysPending) {
  user.QueueAnswer(LoginAnswer{"ivan", "wrong"});
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLogin)));
  ASSERT_TRUE(peer.Receive());
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginRefused)));
  ASSERT_TRUE(user.WaitForMessages(1));
  EXPECT_EQ(client.Current()->login(), LoginState::Refused);
  EXPECT_TRUE(client.LoginPending());
}

TEST_F(ReceiveThreadTest, RefusalIsShownThenTheLostConnection) {
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginRefused)));
  ASSERT_TRUE(user.WaitForMessages(1));
  peer.Close();
  ASSERT_TRUE(user.WaitForMessages(2));
  EXPECT_EQ(user.Messages(), (std::vector<std::string>{"Отказ в регистрации", kGone}));
}

TEST_F(ReceiveThreadTest, SpoiledPacketEndsTheThreadAndClosesTheConnection) {
  packet spoiled = MakePacket(kPacketMessage, "+7", "text");
  spoiled.set_checksum(spoiled.checksum() ^ 0x5A5A);
  ASSERT_TRUE(peer.Send(spoiled));
  ASSERT_TRUE(user.WaitForMessages(1));
  EXPECT_EQ(user.Messages(), std::vector<std::string>{kGone});
  EXPECT_FALSE(client.connected());
  EXPECT_TRUE(peer.WaitClosedByClient());
  EXPECT_FALSE(std::filesystem::exists(Inbox()));
}

// The user closed the old connection: its end is no failure to report.
TEST_F(ReceiveThreadTest, ReconnectEndsTheOldThreadQuietlyWithoutTouchingTheNewConnection) {
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  LoopbackPeer second = server.Accept();
  ASSERT_TRUE(WaitUntil([&] { return threads.Running() == 0; }));
  EXPECT_TRUE(user.Messages().empty());
  EXPECT_TRUE(client.connected());
  EXPECT_TRUE(second.Quiet());

  // The new connection gets its own thread, which reads what the server sends.
  threads.StartReceiveThread(client, user);
  ASSERT_TRUE(second.Send(MakePacket(kPacketMessage, "+5", "new")));
  second.Close();
  ASSERT_TRUE(user.WaitForMessages(1));
  EXPECT_EQ(user.Messages(), std::vector<std::string>{kGone});
  const auto inbox = ReadMessageFile(Inbox());
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].text(), "new");
}

}  // namespace
