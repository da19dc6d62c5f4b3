#pragma once
// A test client for the server over loopback TCP, and helpers to wait on conditions.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "protocol/packet.h"

// A TCP port nobody listens on right now (the system picks it).
int FreePort();

// Polls `condition` until it holds or `limit` passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(20));

// A type-1 message packet.
packet MessagePacket(std::string_view number, std::string_view text);
// A packet of the given type with nothing in it.
packet TypedPacket(std::uint8_t type);

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
