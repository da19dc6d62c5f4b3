#pragma once
// A stand-in server for the client's tests: listens on 127.0.0.1 at a free port
// and hands each accepted connection to the test, which speaks packets on it.
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/packet.h"

// One accepted connection, the server's end.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(int socket = -1) : socket_(socket) {}
  ~LoopbackPeer();
  LoopbackPeer(LoopbackPeer&& other) noexcept : socket_(other.socket_) { other.socket_ = -1; }
  LoopbackPeer& operator=(LoopbackPeer&& other) noexcept;

  bool valid() const { return socket_ >= 0; }
  int socket() const { return socket_; }
  bool Send(packet p);
  // Sends raw bytes as they are (for records in pieces or spoiled on purpose).
  bool SendBytes(std::string_view bytes);
  // The next whole packet, deciphered; nothing when none came within the limit.
  std::optional<packet> Receive(int timeoutMs = 10000);
  // True when nothing has arrived and the client has not closed.
  bool Quiet();
  // True once the client has closed its end (waits up to the limit).
  bool WaitClosedByClient(int timeoutMs = 10000);
  void Close();

 private:
  int socket_;
};

class LoopbackServer {
 public:
  // Any 127.x.y.z address; port 0 picks a free one. Throws when it cannot listen.
  explicit LoopbackServer(const char* address = "127.0.0.1", std::uint16_t port = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::int32_t port() const { return port_; }
  // The next connection; an invalid peer when none came within the limit.
  LoopbackPeer Accept(int timeoutMs = 10000);
  // True when a connection waits to be accepted now.
  bool Pending();

 private:
  int listener_ = -1;
  std::int32_t port_ = 0;
};

// A port on 127.0.0.1 that refuses every connection while this lives: bound, so no
// one else can take it, but not listening.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  std::int32_t port() const { return port_; }

 private:
  int socket_ = -1;
  std::int32_t port_ = 0;
};

// A listener on 127.0.0.1 that never accepts and whose queue is already full:
// a connect to it is neither taken nor refused, it just gets no answer.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  std::int32_t port() const { return port_; }

 private:
  void Release();

  int listener_ = -1;
  int filler_ = -1;  // the one connection the queue holds
  std::int32_t port_ = 0;
};

// A packet of a type, with number, date and text set through the setters.
packet MakePacket(std::uint8_t type, std::string_view number = {}, std::string_view text = {},
                  std::string_view date = {});
