// The client service against a real listener over loopback TCP.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <string>
#include <thread>
#include <utility>

#include "protocol/cipher.h"
#include "tests/server/server_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class ClientServiceTest : public ServerFixture {};

TEST_F(ClientServiceTest, WithoutLoginTheFirstPacketIsARequestAndIsQueued) {
  StartServer(Config());
  LoopbackClient client(port);
  ASSERT_TRUE(client.Send(MessagePacket("+79161234567", "first")));
  ASSERT_TRUE(client.Send(MessagePacket("+79161234568", "second")));
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 2; }));
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"first", "second"}));
  // No prompt and no reply of any kind.
  client.ShutdownWrite();
  EXPECT_EQ(client.BytesUntilClosed(), 0u);
}

TEST_F(ClientServiceTest, FetchSendsEveryQueuedPacketInOrderThenNothing) {
  StartServer(Config());
  QueueIncoming({MessagePacket("+7001", "one"), MessagePacket("+7002", "two"), MessagePacket("+7003", "three")});
  LoopbackClient client(port);
  packet fetch = TypedPacket(kPacketFetch);
  PacketSetNumber(fetch, "REQUEST");
  ASSERT_TRUE(client.Send(fetch));
  for (const char* text : {"one", "two", "three"}) {
    auto got = client.Receive();
    ASSERT_TRUE(got);
    EXPECT_EQ(got->type(), kPacketMessage);
    EXPECT_EQ(got->text(), text);
    EXPECT_TRUE(PacketVerify(*got));
  }
  EXPECT_EQ(Incoming(), 0u);

  // A second fetch finds nothing and sends nothing: the message sent after it is
  // queued (so the fetch was served), and the connection then ends with no bytes.
  ASSERT_TRUE(client.Send(fetch));
  ASSERT_TRUE(client.Send(MessagePacket("+7004", "after")));
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 1; }));
  client.ShutdownWrite();
  EXPECT_EQ(client.BytesUntilClosed(), 0u);
}

// Whoever holds the queues' lock (a fetch, a hand-in): what needs only the counts
// does not wait for it.
TEST_F(ClientServiceTest, TheCountsAndAFetchOfNothingDoNotWaitForTheQueuesLock) {
  StartServer(Config());
  std::future<std::pair<std::size_t, std::size_t>> counts;
  std::unique_lock held(core->state().QueueLock);
  counts = std::async(std::launch::async, [&] { return std::pair(Outgoing(), Incoming()); });
  ASSERT_EQ(counts.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(counts.get(), (std::pair<std::size_t, std::size_t>(0, 0)));

  LoopbackClient client(port);
  ASSERT_TRUE(client.Send(TypedPacket(kPacketFetch)));
  client.ShutdownWrite();
  EXPECT_EQ(client.BytesUntilClosed(), 0u);  // served, and the connection ended, under the held lock
}

TEST_F(ClientServiceTest, UnknownTypesAreIgnoredAndTheConnectionStaysOpen) {
  StartServer(Config());
  LoopbackClient client(port);
  for (std::uint8_t type : {0, 2, 3, 4, 6, 255}) ASSERT_TRUE(client.Send(TypedPacket(type)));
  ASSERT_TRUE(client.Send(MessagePacket("+7001", "still here")));
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 1; }));
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"still here"}));
  client.ShutdownWrite();
  EXPECT_EQ(client.BytesUntilClosed(), 0u);
}

// A bad checksum, and a length past the text however its checksum reads.
TEST_F(ClientServiceTest, ABrokenPacketClosesTheConnectionAndQueuesNothing) {
  StartServer(Config());
  for (const BrokenPacket& bad : BrokenPackets()) {
    LoopbackClient client(port);
    ASSERT_TRUE(client.Send(bad.record)) << bad.what;
    EXPECT_EQ(client.BytesUntilClosed(), 0u) << bad.what;
    EXPECT_EQ(Outgoing(), 0u) << bad.what;
  }
}

TEST_F(ClientServiceTest, ARecordArrivingInTwoPiecesIsOnePacket) {
  StartServer(Config());
  LoopbackClient client(port);
  packet p = MessagePacket("+7001", "in two pieces");
  EncodeBuffer(p.raw());
  ASSERT_TRUE(client.SendRaw(p.raw().first(600)));
  ASSERT_TRUE(client.SendRaw(p.raw().subspan(600)));
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 1; }));
  EXPECT_EQ(OutgoingTexts(), (std::vector<std::string>{"in two pieces"}));
}

// A fetched packet that cannot be sent goes back to the front of the queue, and
// the packets behind it stay queued in order for the next fetch.
TEST_F(ClientServiceTest, AFetchThatCannotSendKeepsTheRestQueuedInOrder) {
  StartServer(Config());
  constexpr int kCount = 10000;  // far more than the socket buffers hold
  std::vector<packet> waiting;
  for (int i = 0; i < kCount; ++i) waiting.push_back(MessagePacket("+7001", std::to_string(i)));
  QueueIncoming(waiting);
  {
    LoopbackClient reader(port, 4096);
    ASSERT_TRUE(reader.Send(TypedPacket(kPacketFetch)));
    // Wait until the server is stuck in a send the reader never takes, then reset.
    ASSERT_TRUE(WaitUntil([&] { return Incoming() < kCount; }));
    reader.Reset();
  }
  ASSERT_TRUE(WaitUntil([&] { return core->Connections() == 0; }));
  std::lock_guard guard(core->state().QueueLock);
  const PacketQueue& left = core->state().IncomingQueue;
  ASSERT_FALSE(left.empty());
  const int first = std::stoi(std::string(left.front()->text()));
  ASSERT_EQ(static_cast<int>(left.size()), kCount - first);
  for (std::size_t i = 0; i < left.size(); ++i) ASSERT_EQ(left[i]->text(), std::to_string(first + static_cast<int>(i)));
}

// A client that asks for its messages and never reads them holds up only itself.
TEST_F(ClientServiceTest, AStalledFetchDoesNotHoldUpOtherClients) {
  StartServer(Config());
  std::vector<packet> waiting(10000, MessagePacket("+7001", "for the slow reader"));
  QueueIncoming(waiting);
  LoopbackClient slow(port, 4096);
  ASSERT_TRUE(slow.Send(TypedPacket(kPacketFetch)));
  ASSERT_TRUE(WaitUntil([&] { return Incoming() < waiting.size(); }));

  LoopbackClient other(port);
  ASSERT_TRUE(other.Send(MessagePacket("+7002", "not held up")));
  EXPECT_TRUE(WaitUntil([&] { return Outgoing() == 1; }));
}

// After failed accepts in a row the thread rests Timeout, but with Timeout 0 an
// accept that keeps failing (out of descriptors) backs off instead of spinning.
TEST(AcceptRest, TimeoutOrABackOffThatGrowsWithTheFailures) {
  struct Case {
    std::int32_t timeoutMs;
    unsigned failures;
    long restMs;
  };
  const Case cases[] = {
      {0, 1, 1}, {0, 2, 2}, {0, 5, 16}, {0, 10, 500}, {0, 100000, 500},
      {-5, 3, 4}, {500, 1, 500}, {500, 1000, 500}, {100, 9, 256}, {2000, 20, 2000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.timeoutMs) + " ms, " + std::to_string(c.failures) + " failures");
    EXPECT_EQ(AcceptRest(c.timeoutMs, c.failures).count(), c.restMs);
  }
}

// Clients that connected before the stop, still waiting in the listener's
// backlog, are taken in and read like the others; the listener then closes, and
// a client that comes later is refused rather than left waiting.
TEST(ClientServiceStop, TakesInTheBacklogThenClosesTheListener) {
  TempDir dir;
  auto state = std::make_shared<ServerState>(dir.path());
  ServerConfig config;
  config.EthernetPort = kAnyPort;
  config.UCNT = 64;
  stream_server listener(config.UCNT);
  listener.set_port(config.EthernetPort);
  ASSERT_TRUE(listener.ListenerListen());
  constexpr int kWaiting = 50;
  std::vector<std::unique_ptr<LoopbackClient>> waiting;
  for (int i = 0; i < kWaiting; ++i) {
    waiting.push_back(std::make_unique<LoopbackClient>(listener.ListeningPort()));
    ASSERT_TRUE(waiting.back()->Send(MessagePacket("+7001", "waiting " + std::to_string(i))));
  }
  const int port = listener.ListeningPort();
  auto service = std::make_shared<ClientService>(state, listener, config, dir.File("registry.reg"),
                                                 dir.File("inbox.db"));
  service->BeginStop(std::chrono::steady_clock::now() + std::chrono::seconds(20));
  service->StartAcceptThread();  // its first look finds the stop
  EXPECT_TRUE(service->WaitForConnections(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
  EXPECT_TRUE(service->Stop());
  EXPECT_EQ(state->OutgoingCount(), static_cast<std::size_t>(kWaiting));
  LoopbackClient later(port);
  EXPECT_FALSE(later.connected());
}

// A connection's thread that does not end when the stop wakes it is left to end
// by itself; the stop goes on, and the thread ends without harm later.
TEST(ClientThreadsStop, AThreadThatDoesNotEndInTimeIsLeftToEndByItself) {
  auto threads = std::make_unique<ClientThreads>();
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  threads->Start(fds[0], [released](int) { released.wait(); });  // deaf to the shutdown
  EXPECT_FALSE(threads->StopAll(std::chrono::milliseconds(50)));
  EXPECT_EQ(threads->Running(), 1u);
  release.set_value();
  EXPECT_TRUE(WaitUntil([&] { return threads->Running() == 0; }));
  threads.reset();
  ::close(fds[1]);
}

}  // namespace
