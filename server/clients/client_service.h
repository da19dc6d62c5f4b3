#pragma once
// Serves desktop clients: the accept thread, one thread per connection, the login
// handshake and the requests (hand in a message, fetch received ones).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/event.h"
#include "server/clients/client_connection.h"
#include "server/clients/client_threads.h"
#include "server/clients/server_config.h"
#include "server/clients/stream_server.h"
#include "server/store/server_state.h"

// The accept thread's rest after its n-th failed accept in a row: Timeout, but at
// least a back-off that doubles from 1 ms to 500 ms, so that an accept that fails
// again at once (out of descriptors) does not spin a core when Timeout is 0.
std::chrono::milliseconds AcceptRest(std::int32_t timeoutMs, unsigned failuresInARow);

// Made with std::make_shared: each connection's thread holds the service, and
// through it the state, for as long as it runs, so a thread that a stop could not
// end in time never finds them gone.
class ClientService : public std::enable_shared_from_this<ClientService> {
 public:
  using Clock = std::chrono::steady_clock;

  // The listener must outlive the service's accept thread (Stop joins it).
  // outgoingQueuePath: the outgoing queue's file, beside which a message to a
  // number the modem cannot take is set aside.
  ClientService(std::shared_ptr<ServerState> state, stream_server& listener, const ServerConfig& config,
                std::string registryPath, std::string outgoingQueuePath);
  ~ClientService();  // Stop
  ClientService(const ClientService&) = delete;
  ClientService& operator=(const ClientService&) = delete;

  void StartAcceptThread();

  // Sets StopFlag and tells the accept thread and every connection. The accept
  // thread takes in the connections waiting in the listener's backlog, then closes
  // the listener; each connection reads what its client still sends until it has
  // been quiet for `quiet` (or, once `deadline` has passed, what it holds whole),
  // acts on it and ends.
  void BeginStop(Clock::time_point deadline);
  // Waits until every connection has ended, or `until`; false then.
  bool WaitForConnections(Clock::time_point until);
  // BeginStop when not done yet, ends the accept thread, wakes every connection
  // still open and joins all their threads, waiting `limit` at most for them. False
  // when a thread did not end in that time: it is left to end by itself.
  bool Stop(std::chrono::milliseconds limit = std::chrono::milliseconds::max());

  // Connections being served right now.
  std::size_t Connections() { return clients_.Running(); }

  // How long a connection must be quiet after a stop to be done; set before the stop.
  void set_quiet(std::chrono::milliseconds quiet) { connectionStop_.quiet = quiet; }

  // Acts on one received request. A type-1 packet is taken into the outgoing queue
  // with its number as the modem takes it, or, when the modem cannot take its
  // number, set aside with a line on standard error; anything else stays with the
  // caller. False when the connection must end: the outgoing queue is full.
  bool HandleRequest(int socket, PacketPtr& p);

 private:
  void AcceptThread();
  void StartClientThread(int socket);
  void ClientThread(int socket);
  // The handshake when logins are required; false ends the connection.
  bool Login(int socket, ClientConnection& connection);
  bool HandIn(PacketPtr& p);
  void SendIncoming(int socket);

  const std::shared_ptr<ServerState> state_;
  stream_server& listener_;
  const ServerConfig config_;
  const std::string registryPath_;
  const std::string outgoingQueuePath_;
  // Set by BeginStop, the deadline first: they end the accept loop and tell the
  // connections, whose waits the event wakes.
  std::atomic<bool> stopBegun_{false};
  std::atomic<Clock::rep> deadline_{0};
  TEvent stopping_{true};
  ConnectionStop connectionStop_;

  std::thread acceptThread_;
  ClientThreads clients_;
};
