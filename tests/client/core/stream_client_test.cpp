#include "client/core/stream_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <string>
#include <thread>
#include <vector>

#include "protocol/cipher.h"
#include "tests/client/core/loopback_server.h"
#include "tests/support/wait_until.h"

namespace {

struct ClientCase {
  const char* name;
  std::string address;
  std::int32_t portOffset;  // added to the server's port
  bool connects;
};

TEST(StreamClient, ConnectsByAddressOrNameAndUsesTheLowSixteenBitsOfThePort) {
  LoopbackServer server;
  const std::vector<ClientCase> cases = {
      {"dotted address", "127.0.0.1", 0, true},
      {"host name", "localhost", 0, true},
      {"port above 16 bits", "127.0.0.1", 65536, true},
      {"unknown host", "no-such-host.invalid", 0, false},
      {"empty address", "", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    stream_client client;
    client.port = server.port() + c.portOffset;
    EXPECT_EQ(client.Connect(c.address), c.connects);
    EXPECT_EQ(client.connected(), c.connects);
    EXPECT_EQ(client.socket() >= 0, c.connects);
    if (c.connects) {
      EXPECT_TRUE(server.Accept().valid());
    }
  }
}

TEST(StreamClient, RefusedConnectionFailsAndStaysDisconnected) {
  RefusingPort refusing;
  stream_client client;
  client.port = refusing.port();
  EXPECT_FALSE(client.Connect("127.0.0.1"));
  EXPECT_FALSE(client.connected());
  EXPECT_EQ(client.socket(), -1);
}

TEST(StreamClient, SendsAndReceivesWholeEncipheredPackets) {
  LoopbackServer server;
  stream_client client;
  client.port = server.port();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  LoopbackPeer peer = server.Accept();

  packet out = MakePacket(kPacketMessage, "+79001234567", "hello");
  const packet plain = out;
  client.Send(out);
  EXPECT_EQ(out, plain) << "the caller's packet is plain again";
  const auto got = peer.Receive();
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, plain);

  // A record that arrives in pieces is still one packet.
  packet in = MakePacket(kPacketMessage, "+7900", "in pieces", "09.12.2026 10:00:00");
  packet wire = in;
  EncodeBuffer(wire.raw());
  const std::string bytes(reinterpret_cast<const char*>(wire.raw().data()), kPacketSize);
  std::thread sender([&] {
    peer.SendBytes(bytes.substr(0, 7));
    peer.SendBytes(bytes.substr(7, 600));
    peer.SendBytes(bytes.substr(607));
  });
  packet received{};
  EXPECT_TRUE(client.Receive(received));
  sender.join();
  EXPECT_EQ(received, in);
}

TEST(StreamClient, PacketFailingItsChecksumClosesTheConnection) {
  LoopbackServer server;
  stream_client client;
  client.port = server.port();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  LoopbackPeer peer = server.Accept();

  packet spoiled = MakePacket(kPacketMessage, "+7900", "text");
  spoiled.set_checksum(spoiled.checksum() + 1);
  ASSERT_TRUE(peer.Send(spoiled));
  packet received{};
  EXPECT_FALSE(client.Receive(received));
  EXPECT_FALSE(client.connected());
  EXPECT_TRUE(peer.WaitClosedByClient());
}

TEST(StreamClient, ServerClosingEndsReceiveAndTheConnection) {
  LoopbackServer server;
  stream_client client;
  client.port = server.port();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  server.Accept().Close();
  packet received{};
  EXPECT_FALSE(client.Receive(received));
  EXPECT_FALSE(client.connected());
  EXPECT_FALSE(client.Receive(received)) << "nothing to read once closed";
}

TEST(StreamClient, CloseWakesAReceiveBlockedOnTheConnection) {
  LoopbackServer server;
  stream_client client;
  client.port = server.port();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  LoopbackPeer peer = server.Accept();
  const ConnectionPtr connection = client.Current();

  // The first bytes of a record: once the reader has taken them it is inside
  // Receive, waiting for the rest, which never comes.
  packet wire = MakePacket(kPacketMessage, "+7900", "never whole");
  EncodeBuffer(wire.raw());
  ASSERT_TRUE(peer.SendBytes(std::string_view(reinterpret_cast<const char*>(wire.raw().data()), 7)));
  const auto unread = [&] {
    int n = -1;
    ::ioctl(connection->socket(), FIONREAD, &n);
    return n;
  };
  ASSERT_TRUE(WaitUntil([&] { return unread() == 7; }));
  std::atomic<bool> returned{false};
  bool result = true;
  std::thread reader([&] {
    packet p{};
    result = client.Receive(connection, p);
    returned = true;
  });
  EXPECT_TRUE(WaitUntil([&] { return unread() == 0; }));
  EXPECT_FALSE(returned) << "the receive waits for the rest of the record";
  client.Close();
  EXPECT_TRUE(WaitUntil([&] { return returned.load(); })) << "Close woke the receive";
  EXPECT_TRUE(peer.WaitClosedByClient());
  if (!returned) peer.Close();  // let a receive that Close failed to wake end
  reader.join();
  EXPECT_FALSE(result);
}

TEST(StreamClient, FailureOnAReplacedConnectionLeavesTheNewOneAlone) {
  LoopbackServer server;
  stream_client client;
  client.port = server.port();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  LoopbackPeer first = server.Accept();
  const ConnectionPtr old = client.Current();

  ASSERT_TRUE(client.Connect("127.0.0.1"));  // closes the first one
  LoopbackPeer second = server.Accept();
  EXPECT_TRUE(first.WaitClosedByClient());

  packet p{};
  EXPECT_FALSE(client.Receive(old, p));
  client.Close(old);
  packet answer = MakePacket(kPacketLogin, "user", "secret");
  client.Send(old, answer);
  EXPECT_TRUE(client.connected());
  EXPECT_NE(client.Current(), old);
  EXPECT_TRUE(second.Quiet()) << "nothing meant for the old server reaches the new one";

  ASSERT_TRUE(second.Send(MakePacket(kPacketMessage, "+7", "still here")));
  EXPECT_TRUE(client.Receive(p));
  EXPECT_EQ(p.text(), "still here");
}

TEST(StreamClient, ConcurrentSendsNeverInterleave) {
  LoopbackServer server;
  stream_client client;
  client.port = server.port();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  LoopbackPeer peer = server.Accept();

  constexpr int kEach = 200;
  std::set<std::string> received;
  std::thread reader([&] {
    for (int i = 0; i < 2 * kEach; ++i) {
      const auto p = peer.Receive();
      if (!p || !PacketVerify(*p)) return;
      received.insert(std::string(p->text()));
    }
  });
  auto sender = [&](char tag) {
    for (int i = 0; i < kEach; ++i) {
      // Long texts make each packet's send a real chance to split.
      packet p = MakePacket(kPacketMessage, "+7", std::string(1000, tag) + std::to_string(i));
      client.Send(p);
    }
  };
  std::thread a(sender, 'a');
  std::thread b(sender, 'b');
  a.join();
  b.join();
  reader.join();
  EXPECT_EQ(received.size(), 2u * kEach);
  EXPECT_TRUE(client.connected());
}

TEST(StreamClient, FailedSendClosesTheConnectionQuietly) {
  LoopbackServer server;
  stream_client client;
  client.port = server.port();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  server.Accept().Close();
  // The first sends may still be taken by the kernel; the reset follows.
  for (int i = 0; i < 1000 && client.connected(); ++i) {
    packet p = MakePacket(kPacketMessage, "+7", "to nobody");
    client.Send(p);
  }
  EXPECT_FALSE(client.connected());
  packet p = MakePacket(kPacketMessage, "+7", "after close");
  client.Send(p);  // sending while closed is harmless
  EXPECT_FALSE(client.connected());
}

// A connection whose server takes it and then never reads: after a few packets
// its small buffers are full and every send has to wait.
struct StalledServer {
  StalledServer(stream_client& client) {
    client.port = server.port();
    connected = client.Connect("127.0.0.1");
    peer = server.Accept();
    const int small = 4096;
    buffersSet = peer.valid() &&
                 ::setsockopt(client.socket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small) == 0 &&
                 ::setsockopt(peer.socket(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small) == 0;
  }
  bool ready() const { return connected && buffersSet; }

  LoopbackServer server;
  LoopbackPeer peer;  // never reads
  bool connected = false;
  bool buffersSet = false;
};

// Sends until one fails; false when none did.
bool SendUntilOneFails(stream_client& client) {
  for (int i = 0; i < 1000; ++i) {
    packet p = MakePacket(kPacketMessage, "+7", std::string(1000, 'x'));
    if (!client.Send(p)) return true;
  }
  return false;
}

TEST(StreamClient, APacketTheServerStopsTakingFailsOnceTheSendLimitIsUp) {
  stream_client client;
  EXPECT_EQ(client.sendTimeout, std::chrono::seconds(5)) << "the program's limit";
  client.sendTimeout = std::chrono::milliseconds(200);
  StalledServer stalled(client);
  ASSERT_TRUE(stalled.ready());
  EXPECT_TRUE(SendUntilOneFails(client));
  EXPECT_FALSE(client.connected());
}

// A send waits for a full socket through the wait it is given, with one
// deadline for the whole packet: a server that takes a little at a time cannot
// stretch the limit, as a time-out per wait would let it. A wait that gives up
// (the program closing) fails the packet at once.
TEST(StreamClient, AFullSocketIsWaitedForThroughTheGivenWaitWithThePacketsOneDeadline) {
  stream_client client;
  client.sendTimeout = std::chrono::seconds(60);
  StalledServer stalled(client);
  ASSERT_TRUE(stalled.ready());
  std::vector<SteadyTime> deadlines;
  int socket = -1;
  client.sendWait = [&](int fd, SteadyTime deadline) {
    socket = fd;
    deadlines.push_back(deadline);
    return deadlines.size() < 3;  // nothing is read meanwhile: the same packet waits again
  };
  const int expected = client.socket();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(SendUntilOneFails(client));
  EXPECT_FALSE(client.connected());
  EXPECT_EQ(socket, expected);
  ASSERT_EQ(deadlines.size(), 3u);
  EXPECT_EQ(deadlines[1], deadlines[0]);
  EXPECT_EQ(deadlines[2], deadlines[0]);
  EXPECT_GE(deadlines[0], start + std::chrono::seconds(60));
}

TEST(StreamClient, APendingConnectIsFinishedOnlyOnceTheServerAnswers) {
  SilentListener silent;
  stream_client client;
  client.port = silent.port();
  client.connectTimeout = std::chrono::seconds(30);
  const auto start = std::chrono::steady_clock::now();
  const std::unique_ptr<PendingConnect> pending = client.BeginConnect("127.0.0.1");
  ASSERT_TRUE(pending);
  EXPECT_GE(pending->deadline(), start + std::chrono::seconds(30));
  EXPECT_FALSE(client.FinishConnect(*pending)) << "no answer yet: given up, without waiting for it";
  EXPECT_FALSE(client.connected());

  LoopbackServer server;
  client.port = server.port();
  const std::unique_ptr<PendingConnect> answered = client.BeginConnect("127.0.0.1");
  ASSERT_TRUE(answered);
  EXPECT_TRUE(server.Accept().valid());
  EXPECT_TRUE(client.FinishConnect(*answered));
  EXPECT_TRUE(client.connected());
  EXPECT_EQ(answered->socket(), -1) << "the connection took the socket";
}

}  // namespace
