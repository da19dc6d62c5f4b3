// What a client hands in: the number rule, messages the modem could never send,
// and a stop that comes while a client is handing in.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <linux/sockios.h>
#include <optional>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <vector>

#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "server/store/modem_number.h"
#include "server/store/queue_file.h"
#include "tests/server/server_fixture.h"
#include "tests/support/captured_stderr.h"

namespace {

TEST(ModemNumber, DropsSeparatorsAndTakesOnlyDigitsAfterAPlus) {
  const std::string twenty(20, '9');
  const struct {
    std::string given;
    std::optional<std::string> taken;
  } cases[] = {
      {"+79161234567", "+79161234567"},
      {"8 (916) 123-45-67", "89161234567"},
      {"+7 916.123.45.67 ", "+79161234567"},
      {"(+7) [916] 1234567", "+79161234567"},
      {"112", "112"},
      {twenty, twenty},
      {"+" + twenty, "+" + twenty},
      {twenty + "9", std::nullopt},  // 21 digits
      {"", std::nullopt},
      {"+", std::nullopt},
      {" - () ", std::nullopt},
      {"++79161234567", std::nullopt},
      {"7+9161234567", std::nullopt},
      {"8916123456x", std::nullopt},
      {"8\t916", std::nullopt},
      {"REQUEST", std::nullopt},
      {"\xC8\xE2\xE0\xED", std::nullopt},  // a name, in Windows-1251
  };
  for (const auto& c : cases) EXPECT_EQ(ModemNumber(c.given), c.taken) << '"' << c.given << '"';
}

class HandInTest : public ServerFixture {
 protected:
  std::vector<std::string> OutgoingNumbers() {
    std::lock_guard guard(core->state().QueueLock);
    std::vector<std::string> out;
    for (const QueuedPacket& p : core->state().OutgoingQueue) out.emplace_back(p->number());
    return out;
  }
};

// A number the modem cannot take would be refused at every try: such a message is
// kept beside the queue's file, said on standard error, and never queued; the
// others are queued with their numbers as the modem takes them.
TEST_F(HandInTest, NumbersAreQueuedAsTheModemTakesThemAndTheOthersSetAside) {
  StartServer(Config());
  const std::vector<packet> handedIn = {
      MessagePacket("8 (916) 123-45-67", "one"), MessagePacket("Ivan", "two"), MessagePacket("", "three"),
      MessagePacket("+7 916 000", "four"), MessagePacket(std::string(21, '1'), "five")};
  testing::internal::CaptureStderr();
  {
    LoopbackClient client(port);
    for (const packet& p : handedIn) ASSERT_TRUE(client.Send(p));
    client.ShutdownWrite();
    ASSERT_TRUE(client.BytesUntilClosed());  // served to the end
  }
  const std::string said = CapturedStderr();
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"one", "four"}));
  EXPECT_EQ(OutgoingNumbers(), (std::vector<std::string>{"89161234567", "+7916000"}));
  const std::string setAside = dir.File("inbox.db.bad");
  EXPECT_EQ(ReadMessageFile(setAside), (std::vector<packet>{handedIn[1], handedIn[2], handedIn[4]}));
  const std::string lines[] = {"handed in to \"Ivan\" is not queued", "handed in to \"\" is not queued",
                               "set aside in " + setAside};
  for (const std::string& line : lines) EXPECT_NE(said.find(line), std::string::npos) << line << " not in: " << said;
}

// The client counts a packet as handed over once its connection has taken it: a
// stop must not drop what the connection holds. Here the connection's thread is
// kept from queueing (the lock is held) while the client hands in, so that every
// packet but the first still lies in the connection when the stop comes: whether
// the close's time is up at once (each whole packet held is read), or the
// connection is read until nothing more comes (the packets that came while its
// thread was held up are read first, however long that was).
TEST_F(HandInTest, AStopDuringAHandInKeepsEveryPacketTheConnectionTook) {
  for (const int closeWaitMs : {0, 20000}) {
    SCOPED_TRACE(closeWaitMs);
    StartServer(Config());
    core->set_close_wait_ms(closeWaitMs);
    core->set_quiet_ms(0);
    constexpr int kCount = 40;
    std::vector<std::string> texts;
    LoopbackClient client(port);
    {
      std::unique_lock held(core->state().QueueLock);
      for (int i = 0; i < kCount; ++i) {
        texts.push_back("job message " + std::to_string(i));
        ASSERT_TRUE(client.Send(MessagePacket("+79161234567", texts.back())));
      }
      // Every byte has reached the server's side of the connection.
      ASSERT_TRUE(WaitUntil([&] {
        int unacknowledged = -1;
        return ::ioctl(client.fd(), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0;
      }));
      std::thread closer([&] { core->Close(); });
      ASSERT_TRUE(WaitUntil([&] { return core->state().StopFlag.load(); }));
      held.unlock();
      closer.join();
    }
    std::vector<std::string> saved;
    for (const packet& p : ReadMessageFile(dir.File(kOutgoingQueueFile))) saved.emplace_back(p.text());
    EXPECT_EQ(saved, texts);
    std::filesystem::remove(dir.File(kOutgoingQueueFile));
  }
}

// A client still handing in when the stop comes: more of what it sent is on its
// way from its machine than the connection holds at that moment. The stop reads
// on until the connection has been quiet for a moment, so every message the
// client counted as sent is saved.
TEST_F(HandInTest, AStopWhileAClientStillSendsKeepsAllItSent) {
  StartServer(Config());
  core->set_close_wait_ms(20000);  // generous: the quiet moment ends the reading
  constexpr int kCount = 5000;
  LoopbackClient client(port);
  std::atomic<int> sent{0};
  std::thread sender([&] {
    for (int i = 0; i < kCount; ++i) {
      if (!client.Send(MessagePacket("+79161234567", std::to_string(i)))) return;
      ++sent;
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() >= 100; }));
  EXPECT_TRUE(core->Close());
  sender.join();
  const auto saved = ReadMessageFile(dir.File(kOutgoingQueueFile));
  EXPECT_EQ(sent.load(), kCount);
  ASSERT_EQ(saved.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(saved[static_cast<std::size_t>(i)].text(), std::to_string(i));
}

// A full queue ends the connection of the client that hands in beyond it, which
// then keeps what it did not hand over, and standard error says why. The queue
// stays as it was, and the client may hand in again once there is room.
TEST_F(HandInTest, AHandInBeyondTheQueueLimitEndsTheConnection) {
  core = std::make_unique<ServerCore>(dir.path());
  core->set_close_wait_ms(0);
  core->set_queue_limit(5);
  ASSERT_TRUE(core->Start(Config()));
  port = core->ListeningPort();
  testing::internal::CaptureStderr();
  LoopbackClient client(port);
  for (int i = 0; i < 8; ++i) client.Send(MessagePacket("+79161234567", std::to_string(i)));
  EXPECT_TRUE(client.BytesUntilClosed());
  const std::string said = CapturedStderr();
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"0", "1", "2", "3", "4"}));
  EXPECT_NE(said.find("the outgoing queue holds 5 messages, its limit"), std::string::npos) << said;
}

}  // namespace
