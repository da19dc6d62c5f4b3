#pragma once
// A test client for the server over loopback TCP, and how a test finds the port
// of the server it started.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "protocol/packet.h"
#include "tests/support/wait_until.h"

// The EthernetPort for a server under test. The listener binds the port's low 16
// bits, here 0, so the system picks a free port; the test then asks the server
// (ServerCore::ListeningPort) or, for a whole program, ListeningPorts.
inline constexpr long kAnyPort = 0x10000;

// The TCP ports process `pid` listens on, from /proc.
std::vector<int> ListeningPorts(pid_t pid);

// A type-1 message packet.
packet MessagePacket(std::string_view number, std::string_view text);
// A packet of the given type with nothing in it.
packet TypedPacket(std::uint8_t type);

// Message records that fail the check every received record passes, each with
// what is wrong with it: a changed text byte, lengths past the text (with the
// checksum of the whole text they would once have been cut to), random bytes.
struct BrokenPacket {
  const char* what;
  packet record;
};
std::vector<BrokenPacket> BrokenPackets();

class LoopbackClient {
 public:
  // Connects to 127.0.0.1:port. receiveBuffer > 0 sets a small receive buffer
  // before connecting (a client that reads slowly).
  explicit LoopbackClient(int port, int receiveBuffer = 0);
  ~LoopbackClient();
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool Send(packet p);                            // enciphered, as a client sends it
  bool SendRaw(std::span<const std::uint8_t> bytes);
  // The next whole record, deciphered; nothing when the server closed or 20 s passed.
  std::optional<packet> Receive();
  // No more writes from this side; the server sees the end of the connection.
  void ShutdownWrite();
  // Reads until the server closes; the bytes that came first. Nothing when it did
  // not close within 20 s.
  std::optional<std::size_t> BytesUntilClosed();
  // Drops the connection with a reset instead of an orderly close.
  void Reset();
  void Close();

 private:
  int fd_ = -1;
};
