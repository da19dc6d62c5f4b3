#pragma once
// The client's one TCP connection to the server. The user-interface thread
// connects, sends and closes; a receive thread per connection reads from it.
//
// Each successful Connect makes a new Connection object. A receive thread holds
// the connection it was started for, so when the user reconnects meanwhile the
// old thread can only ever read from or close its own, never the newer one. The
// socket itself is closed when the last holder lets go, so its number cannot be
// reused under a thread still blocked on it. Sends on one connection take its
// send lock, so two packets never interleave their bytes.
//
// Neither a connect nor a send need hold the thread that makes it: a connect
// can be begun and finished once its socket is ready, and a send waits for a
// full socket through a wait the caller chooses (the window's turns its event
// loop).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "protocol/packet.h"

using SteadyTime = std::chrono::steady_clock::time_point;

// Where a connection stands with the server's login: the server asks for one
// (a type-2 packet) right after the connect, or never.
enum class LoginState {
  None,      // nothing asked
  Asked,     // asked, not answered (the dialog is up, or was dismissed)
  Answered,  // answered, the server's verdict not yet in
  Accepted,
  Refused,
};

// Waits until `socket` can take more of a packet, or `deadline` passes; true
// when it can. False also ends the wait early (the program is closing).
using SendWaitUntil = std::function<bool(int socket, SteadyTime deadline)>;
// The wait a send has when given none: blocks in poll.
bool WaitWritableUntil(int socket, SteadyTime deadline);

class Connection {
 public:
  // `sendLimit`: how long one whole packet may take to be handed over.
  Connection(int socket, std::chrono::milliseconds sendLimit) : socket_(socket), sendLimit_(sendLimit) {}
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int socket() const { return socket_; }
  bool open() const { return open_.load(); }
  // Whole packet, serialised with every other send on this connection; false
  // when it was not all handed over within the send limit. A full socket is
  // waited for with `wait`, or in poll when it is empty.
  bool Send(packet& p, const SendWaitUntil& wait = {});
  // Reads one whole packet; false when the peer closed or the socket failed.
  bool Receive(packet& p);
  // Waits at most `timeout` for something to read (or the end); true when it came.
  bool WaitReadable(std::chrono::milliseconds timeout) const;
  // Marks it closed and wakes a thread blocked in Receive. Idempotent.
  void Shutdown();
  // The same, by the user's own wish (a reconnect, the program's end): its end
  // is no failure to report.
  void HangUp();
  bool HungUp() const { return hungUp_.load(); }

  LoginState login() const { return login_.load(); }
  void set_login(LoginState state) { login_.store(state); }
  // Moves from `expected` to `state`; false (and `expected` set to the state
  // found) when it stood elsewhere.
  bool exchange_login(LoginState& expected, LoginState state) {
    return login_.compare_exchange_strong(expected, state);
  }
  // The server asked for a login that has not been accepted: it takes nothing
  // else meanwhile (it ends the connection on any other packet).
  bool LoginPending() const;

 private:
  const int socket_;
  const std::chrono::milliseconds sendLimit_;
  std::atomic<bool> open_{true};
  std::atomic<bool> hungUp_{false};
  std::atomic<LoginState> login_{LoginState::None};
  std::mutex sendLock_;
  std::atomic<std::thread::id> sender_;  // the thread inside Send, if any
};

using ConnectionPtr = std::shared_ptr<Connection>;

// A connect under way: its socket has asked the server and awaits the answer
// until the deadline. Whoever holds it waits for the socket to be ready (for
// writing) or the deadline to pass, then finishes it; letting it go gives up.
class PendingConnect {
 public:
  PendingConnect(int socket, SteadyTime deadline) : socket_(socket), deadline_(deadline) {}
  ~PendingConnect();
  PendingConnect(const PendingConnect&) = delete;
  PendingConnect& operator=(const PendingConnect&) = delete;

  int socket() const { return socket_; }
  SteadyTime deadline() const { return deadline_; }

 private:
  friend class stream_client;
  int socket_;  // -1 once the connection took it
  const SteadyTime deadline_;
};

class stream_client {
 public:
  stream_client();
  virtual ~stream_client();
  stream_client(const stream_client&) = delete;
  stream_client& operator=(const stream_client&) = delete;

  // True after a successful Connect until Close (or a failed send or receive).
  bool connected() const;
  // The open connection's socket; -1 when none.
  int socket() const;

  // Server TCP port; its low 16 bits are used. Set by the user-interface thread
  // before it connects.
  std::int32_t port = 0;
  // Neither may wait for ever on a server that does not answer or stops
  // reading: a connect gives up after connectTimeout, and a packet that cannot
  // be handed over within sendTimeout, counted from its first byte, fails (and
  // closes the connection). Both are read by BeginConnect.
  std::chrono::milliseconds connectTimeout{5000};
  std::chrono::milliseconds sendTimeout{5000};
  // How sends wait for a full socket; empty, they block in poll. Set by the
  // thread that sends, before it does.
  SendWaitUntil sendWait;

  // Host name or dotted IPv4 address. Closes any open connection first, then
  // starts a connect without waiting for the server: nothing when it failed at
  // once (no socket, an unknown address, a refusal already known). Virtual so
  // that a test sees where a window connects without reaching the network.
  virtual std::unique_ptr<PendingConnect> BeginConnect(std::string_view address);
  // Once the socket is ready or the deadline has passed: true when the server
  // took the connection, which is then the open one.
  bool FinishConnect(PendingConnect& pending);
  // Begins, waits for the server in poll and finishes.
  bool Connect(std::string_view address);
  // Sends on the open connection; a failure closes it. True when the whole
  // packet was handed to the connection. While a login is pending only the
  // login answer goes; anything else is refused and the connection stays.
  bool Send(packet& p);
  // The open connection's server waits for a login (see Connection).
  bool LoginPending() const;
  // Receives one packet on the open connection and verifies its checksum.
  bool Receive(packet& p);
  // Closes the open connection by the user's wish (Connection::HangUp).
  void Close();

  // The open connection, or nullptr. A receive thread keeps the one it got.
  ConnectionPtr Current() const;
  // The same operations on a given connection. A failure closes that connection
  // only, and only counts as a disconnect while it is still the open one.
  bool Send(const ConnectionPtr& connection, packet& p);
  // Receives and deciphers; false on a lost connection or a failed checksum,
  // both of which close the connection.
  bool Receive(const ConnectionPtr& connection, packet& p);
  void Close(const ConnectionPtr& connection);

 private:
  mutable std::mutex lock_;  // guards current_
  ConnectionPtr current_;
};
