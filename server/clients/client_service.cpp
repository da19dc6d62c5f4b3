#include "server/clients/client_service.h"

#include <algorithm>
#include <new>

#include "platform/stderr_lines.h"
#include "protocol/packet_io.h"
#include "server/clients/check_user.h"
#include "server/store/modem_number.h"
#include "server/store/queue_file_report.h"
#include "server/store/set_aside.h"

ClientService::ClientService(std::shared_ptr<ServerState> state, stream_server& listener, const ServerConfig& config,
                             std::string registryPath, std::string outgoingQueuePath)
    : state_(std::move(state)),
      listener_(listener),
      config_(config),
      registryPath_(std::move(registryPath)),
      outgoingQueuePath_(std::move(outgoingQueuePath)),
      connectionStop_{stopBegun_, stopping_.Descriptor(), deadline_, std::chrono::milliseconds(200)} {}

ClientService::~ClientService() { Stop(); }

void ClientService::StartAcceptThread() {
  acceptThread_ = std::thread([this] { AcceptThread(); });
}

void ClientService::BeginStop(Clock::time_point deadline) {
  if (stopBegun_.load()) return;
  deadline_.store(deadline.time_since_epoch().count());
  state_->StopFlag.store(true);
  stopBegun_.store(true);  // before the wake-up: a woken wait finds it set
  stopping_.Set();
}

bool ClientService::WaitForConnections(Clock::time_point until) {
  return clients_.WaitUntilNone(until);
}

bool ClientService::Stop(std::chrono::milliseconds limit) {
  BeginStop(Clock::now());
  if (acceptThread_.joinable()) acceptThread_.join();
  listener_.ListenerClose();
  return clients_.StopAll(limit);
}

std::chrono::milliseconds AcceptRest(std::int32_t timeoutMs, unsigned failuresInARow) {
  constexpr unsigned kLongestBackOffMs = 500;
  const unsigned doublings = std::min(std::max(failuresInARow, 1u) - 1, 9u);
  const unsigned backOffMs = std::min(1u << doublings, kLongestBackOffMs);
  return std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, backOffMs));
}

void ClientService::AcceptThread() {
  unsigned failures = 0;
  const auto rest = [&] {
    stopping_.Wait(static_cast<std::uint32_t>(AcceptRest(config_.Timeout, ++failures).count()));
  };
  while (!stopBegun_.load()) {
    if (!listener_.WaitForClient(stopping_.Descriptor())) {
      if (!stopBegun_.load()) rest();  // the listener failed: not a spin
      continue;
    }
    sockaddr_in peer{};
    int client = -1;
    if (listener_.AcceptClient(peer, client)) {
      failures = 0;
      StartClientThread(client);
      continue;
    }
    // Gone before it was accepted: nothing to rest for.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED) continue;
    // Out of descriptors, say: rest, unless stopping.
    rest();
  }
  // Clients that connected before the stop have handed over what they sent as
  // much as those already served: the backlog is taken in, then no one more.
  for (;;) {
    sockaddr_in peer{};
    int client = -1;
    if (!listener_.AcceptClient(peer, client)) {
      if (errno == ECONNABORTED) continue;
      break;
    }
    StartClientThread(client);
  }
  listener_.ListenerClose();
}

void ClientService::StartClientThread(int socket) {
  clients_.Start(socket, [self = shared_from_this()](int s) { self->ClientThread(s); });
}

bool ClientService::Login(int socket, ClientConnection& connection) {
  packet login;
  PacketInit(login);
  login.set_type(kPacketLogin);
  SendPacket(socket, login);
  if (!connection.ReceivePacket(login) || login.type() != kPacketLogin) return false;
  const bool accepted = CheckUser(login, registryPath_);
  // The answer carries no text; the password the client sent does not go back.
  PacketClear(login);
  std::ranges::fill(login.text_field(), std::uint8_t{0});
  login.set_type(accepted ? kPacketLoginAccepted : kPacketLoginRefused);
  SendPacket(socket, login);
  return accepted;
}

// Serves until the connection ends or fails, a packet fails its check, the
// outgoing queue is full, or the server stops; a stop still takes in what the
// client sends until its connection falls quiet, which the client counts as
// handed over. Memory that runs out ends this connection, not the server: what
// was queued is in the store, and the client says what it did not hand over.
void ClientService::ClientThread(int socket) {
  try {
    ClientConnection connection(socket, connectionStop_);
    if (config_.NeedReg && !Login(socket, connection)) return;
    for (;;) {
      PacketPtr p = PacketNew();
      if (!connection.ReceivePacket(*p)) return;
      if (!HandleRequest(socket, p)) return;
    }
  } catch (const std::bad_alloc&) {
    StderrPrintf("trelmsrv: out of memory; a client's connection is ended\n");
  }
}

bool ClientService::HandleRequest(int socket, PacketPtr& p) {
  switch (p->type()) {
    case kPacketMessage:
      return HandIn(p);
    case kPacketFetch:
      SendIncoming(socket);
      return true;
    default:
      return true;
  }
}

// A number the modem can never take would be refused at every try for as long as
// the server runs: such a message is set aside, never queued.
bool ClientService::HandIn(PacketPtr& p) {
  const auto number = ModemNumber(p->number());
  if (!number) {
    const bool kept = SetAsidePacket(outgoingQueuePath_, *p);
    LogSetAsideHandIn(p->number(), SetAsideFile(outgoingQueuePath_), kept, errno);
    return true;
  }
  PacketSetNumber(*p, *number);
  std::size_t queued = 0;
  {
    std::lock_guard guard(state_->QueueLock);
    queued = state_->OutgoingQueue.size();
    if (queued < state_->QueueLimit) {
      state_->OutgoingQueue.Append(std::move(p));
      return true;
    }
  }
  StderrPrintf("trelmsrv: the outgoing queue holds %zu messages, its limit; a client's connection is ended, "
               "and the client keeps what it did not hand over\n", queued);
  return false;
}

// Hands every waiting received message to this client, oldest first, each one
// acknowledged to the store once the connection took it. The lock is not held
// while sending, so a client that stops reading holds up only itself; a packet
// that fails to go returns to its place in the queue and the fetch ends. A fetch
// that finds nothing waiting ends without the lock.
void ClientService::SendIncoming(int socket) {
  PacketQueue& queue = state_->IncomingQueue;
  while (!state_->StopFlag.load() && queue.Count() != 0) {
    QueuedPacket p;
    {
      std::lock_guard guard(state_->QueueLock);
      if (queue.empty()) return;
      p = queue.TakeFront();
    }
    if (!SendPacket(socket, *p)) {
      std::lock_guard guard(state_->QueueLock);
      queue.PutBackInOrder(std::move(p));
      return;
    }
    queue.store().Acknowledge(p.id);
  }
}
