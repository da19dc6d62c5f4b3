// No client, however it misbehaves, may bring the server down or disturb the
// packets of the others.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>

#include "protocol/cipher.h"
#include "tests/server/server_fixture.h"

namespace {

class MisbehavingClientsTest : public ServerFixture {
 protected:
  // A deep backlog, so the burst of connections below is not slowed by refused
  // handshakes being retried.
  ServerConfig DeepBacklog() const {
    ServerConfig c = Config();
    c.UCNT = 4096;
    return c;
  }
};

TEST_F(MisbehavingClientsTest, GarbageIsRefusedWithoutDisturbingOthers) {
  StartServer(DeepBacklog());
  constexpr int kMessages = 300;
  LoopbackClient good(port);
  std::thread goodSender([&] {
    for (int i = 0; i < kMessages; ++i) ASSERT_TRUE(good.Send(MessagePacket("+7001", std::to_string(i))));
  });

  std::mt19937 random(7);
  std::vector<std::uint8_t> garbage(10 * kPacketSize);
  for (auto& b : garbage) b = static_cast<std::uint8_t>(random());

  // Garbage: the first record fails its checksum and the connection ends.
  LoopbackClient noise(port);
  noise.SendRaw(garbage);
  EXPECT_TRUE(noise.BytesUntilClosed());

  // Half a record, then silence while others go on.
  packet half = MessagePacket("+7002", "never finished");
  EncodeBuffer(half.raw());
  LoopbackClient silent(port);
  ASSERT_TRUE(silent.SendRaw(half.raw().first(538)));

  // Dropped in the middle of a record, with a reset.
  LoopbackClient dropped(port);
  ASSERT_TRUE(dropped.SendRaw(half.raw().first(700)));
  dropped.Reset();

  // Many connections opened and closed at once, some with half a record.
  for (int i = 0; i < 2000; ++i) {
    LoopbackClient brief(port);
    if (i % 3 == 0) brief.SendRaw(half.raw().first(static_cast<std::size_t>(i % kPacketSize)));
    if (i % 2 == 0) brief.Reset();
  }

  goodSender.join();
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == kMessages; }));
  const auto texts = OutgoingTexts();
  for (int i = 0; i < kMessages; ++i) ASSERT_EQ(texts[static_cast<std::size_t>(i)], std::to_string(i));

  // Every ended connection's thread is gone; the silent one and the good one stay.
  EXPECT_TRUE(WaitUntil([&] { return core->Connections() == 2; }));
  LoopbackClient later(port);
  ASSERT_TRUE(later.Send(MessagePacket("+7003", "later")));
  EXPECT_TRUE(WaitUntil([&] { return Outgoing() == kMessages + 1; }));
}

}  // namespace
