#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "protocol/cipher.h"
#include "protocol/packet_io.h"

namespace {

struct SocketPair {
  int a = -1, b = -1;
  SocketPair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0) { a = fds[0]; b = fds[1]; }
  }
  ~SocketPair() {
    if (a >= 0) ::close(a);
    if (b >= 0) ::close(b);
  }
};

packet Sample() {
  packet p;
  PacketInit(p);
  p.set_type(kPacketMessage);
  PacketSetNumber(p, "+79161234567");
  PacketSetDate(p, "09.12.2026 21:16:07");
  PacketSetText(p, "hello");
  return p;
}

TEST(SendPacket, SendsEncipheredRecordAndLeavesCallerPlain) {
  SocketPair s;
  packet p = Sample();
  const packet before = p;
  ASSERT_TRUE(SendPacket(s.a, p));
  EXPECT_EQ(p, before);

  packet wire;
  ASSERT_EQ(::recv(s.b, wire.raw().data(), kPacketSize, MSG_WAITALL), static_cast<ssize_t>(kPacketSize));
  EXPECT_NE(wire, before);
  EncodeBuffer(wire.raw());
  EXPECT_EQ(wire, before);
}

TEST(RecvPacket, AssemblesARecordArrivingInPieces) {
  SocketPair s;
  packet p = Sample();
  packet wire = p;
  EncodeBuffer(wire.raw());
  std::thread writer([&] {
    const auto raw = wire.raw();
    for (std::size_t at = 0; at < raw.size();) {
      const std::size_t n = std::min<std::size_t>(at == 0 ? 1 : 300, raw.size() - at);
      ASSERT_EQ(::send(s.a, raw.data() + at, n, MSG_NOSIGNAL), static_cast<ssize_t>(n));
      at += n;
    }
  });
  packet got;
  ASSERT_TRUE(RecvPacket(s.b, got));
  writer.join();
  EXPECT_EQ(got, p);
  EXPECT_TRUE(PacketVerify(got));
}

TEST(RecvPacket, FailsWhenThePeerClosesMidRecord) {
  SocketPair s;
  const std::uint8_t half[500] = {};
  ASSERT_EQ(::send(s.a, half, sizeof half, MSG_NOSIGNAL), 500);
  ::close(s.a);
  s.a = -1;
  packet got;
  EXPECT_FALSE(RecvPacket(s.b, got));
}

TEST(SendPacket, ToAClosedPeerReturnsFalseWithoutEndingTheProcess) {
  SocketPair s;
  ::close(s.b);
  s.b = -1;
  packet p = Sample();
  const packet before = p;
  EXPECT_FALSE(SendPacket(s.a, p));  // SIGPIPE would have ended the test binary here
  EXPECT_EQ(p, before);
}

TEST(SendPacket, LargeBurstsArriveWhole) {
  // Many records through a small socket buffer: partial sends must be completed.
  SocketPair s;
  int small = 4096;
  ::setsockopt(s.a, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  constexpr int kCount = 200;
  std::thread reader([&] {
    for (int i = 0; i < kCount; ++i) {
      packet got;
      ASSERT_TRUE(RecvPacket(s.b, got));
      ASSERT_TRUE(PacketVerify(got));
      ASSERT_EQ(got.text(), std::to_string(i));
    }
  });
  for (int i = 0; i < kCount; ++i) {
    packet p = Sample();
    PacketSetText(p, std::to_string(i));
    ASSERT_TRUE(SendPacket(s.a, p));
  }
  reader.join();
}

// With a wait, a full socket is handed to it rather than blocked on: going on
// completes the record once the reader has made room, giving up fails it, and
// either way the caller's packet is plain again.
TEST(SendPacket, AFullSocketGoesToTheWaitWhichGoesOnOrGivesUp) {
  SocketPair s;
  int small = 4096;
  ::setsockopt(s.a, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  ::setsockopt(s.b, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  int waits = 0;
  std::size_t drained = 0;
  const SendWait drainOnce = [&](int socket) {
    EXPECT_EQ(socket, s.a);
    if (++waits > 1) return false;
    std::uint8_t room[64 * kPacketSize];
    const ssize_t n = ::recv(s.b, room, sizeof room, 0);
    drained += n > 0 ? static_cast<std::size_t>(n) : 0;
    return n > 0;
  };
  std::size_t sent = 0;
  bool failed = false;
  for (int i = 0; i < 1000 && !failed; ++i) {
    packet p = Sample();
    const packet before = p;
    if (SendPacket(s.a, p, drainOnce)) {
      ++sent;
    } else {
      failed = true;
    }
    EXPECT_EQ(p, before);
  }
  EXPECT_TRUE(failed) << "the second wait gave up";
  EXPECT_EQ(waits, 2);
  EXPECT_GT(drained, 0u);
  EXPECT_GT(sent, 0u);
}

}  // namespace
