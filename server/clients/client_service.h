#pragma once
// Serves desktop clients: the accept thread, one thread per connection, the login
// handshake and the requests (hand in a message, fetch received ones).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/event.h"
#include "server/clients/client_connection.h"
#include "server/clients/client_threads.h"
#include "server/clients/server_config.h"
#include "server/store/server_state.h"
#include "server/clients/stream_server.h"

// The accept thread's rest after its n-th failed accept in a row: Timeout, but at
// least a back-off that doubles from 1 ms to 500 ms, so that an accept that fails
// again at once (out of descriptors) does not spin a core when Timeout is 0.
std::chrono::milliseconds AcceptRest(std::int32_t timeoutMs, unsigned failuresInARow);

class ClientService {
 public:
  // The state, the listener and the settings must outlive the service.
  // outgoingQueuePath: the outgoing queue's file, beside which a message to a
  // number the modem cannot take is set aside.
  ClientService(ServerState& state, stream_server& listener, const ServerConfig& config,
                std::string registryPath, std::string outgoingQueuePath);
  ~ClientService();  // Stop
  ClientService(const ClientService&) = delete;
  ClientService& operator=(const ClientService&) = delete;

  void StartAcceptThread();

  // Sets StopFlag and tells every connection: each reads the packets it already
  // holds, acts on them and ends.
  void BeginStop();
  // BeginStop when not done yet, closes the listener, ends the accept thread, wakes
  // every connection still open and joins all their threads.
  void Stop();

  // Connections being served right now.
  std::size_t Connections() { return clients_.Running(); }

  // Acts on one received request. A type-1 packet is moved into OutgoingQueue with
  // its number as the modem takes it, or, when the modem cannot take its number,
  // set aside with a line on standard error; anything else stays with the caller.
  void HandleRequest(int socket, PacketPtr& p);

 private:
  void AcceptThread();
  void StartClientThread(int socket);
  void ClientThread(int socket);
  // The handshake when logins are required; false ends the connection.
  bool Login(int socket, ClientConnection& connection);
  void HandIn(PacketPtr& p);
  void SendIncoming(int socket);

  ServerState& state_;
  stream_server& listener_;
  const ServerConfig& config_;
  const std::string registryPath_;
  const std::string outgoingQueuePath_;
  TEvent stopping_{true};  // set by BeginStop: wakes the connections' waits

  std::thread acceptThread_;
  std::mutex restLock_;                // lets Stop cut the rest after a failed accept short
  std::condition_variable restEnded_;
  bool stopped_ = false;
  ClientThreads clients_;
};
