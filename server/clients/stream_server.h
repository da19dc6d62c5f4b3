#pragma once
// The listening socket clients connect to.
#include <atomic>
#include <cstdint>
#include <netinet/in.h>

// The socket layer needs no start-up here; these keep the pairing the server's
// start and close expect, and are idempotent.
void NetStartup();
void NetCleanup();

class stream_server {
 public:
  explicit stream_server(std::int32_t backlog);  // not listening, no socket, port 0
  ~stream_server();  // ListenerClose, then releases the socket
  stream_server(const stream_server&) = delete;
  stream_server& operator=(const stream_server&) = delete;

  // Opens the listening socket on all interfaces at the low 16 bits of `port`.
  // Already listening or port 0: false with no message. A failing socket, bind or
  // listen is shown with ReportLastError and gives false, errno saying why.
  bool ListenerListen();
  // Stops listening: a wait for a client ends, and every later accept fails.
  // Connections still waiting in the backlog are refused.
  void ListenerClose();
  // Waits until a client waits to be accepted (true), or `wake` (a descriptor)
  // turns readable or the listener closes (false).
  bool WaitForClient(int wake) const;
  // Accepts the client that waits, without waiting. False, with errno set, when
  // no socket came: EAGAIN when none waits (any more), anything else a failure
  // (out of descriptors), and every time after ListenerClose. The connection is
  // kept alive: a peer that vanished is found out and the connection fails, while
  // an idle live one stays.
  bool AcceptClient(sockaddr_in& peer, int& client);

  void set_port(std::int32_t p) { port = p; }
  std::int32_t get_port() const { return port; }
  // The TCP port the socket is bound to (the system's pick when the low 16 bits of
  // `port` are 0); 0 when not listening.
  std::uint16_t ListeningPort() const;
  bool is_listening() const { return listening.load(); }

 private:
  std::atomic<bool> listening{false};
  std::atomic<int> socket{-1};
  std::int32_t port = 0;
  std::int32_t backlog;
};

// The TCP port a listener set to `port` binds: its low 16 bits (0 there: one the
// system picks).
inline std::uint16_t TcpPortOf(std::int32_t port) { return static_cast<std::uint16_t>(port & 0xFFFF); }

// Shows the text of the calling thread's last system error (errno), caption
// "Ошибка"; errno is left as it was.
void ReportLastError();
