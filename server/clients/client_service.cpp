#include "server/clients/client_service.h"

#include <algorithm>
#include <chrono>

#include "protocol/packet_io.h"
#include "server/clients/check_user.h"
#include "server/store/modem_number.h"
#include "server/store/queue_file_report.h"
#include "server/store/set_aside.h"

ClientService::ClientService(ServerState& state, stream_server& listener, const ServerConfig& config,
                             std::string registryPath, std::string outgoingQueuePath)
    : state_(state),
      listener_(listener),
      config_(config),
      registryPath_(std::move(registryPath)),
      outgoingQueuePath_(std::move(outgoingQueuePath)) {}

ClientService::~ClientService() { Stop(); }

void ClientService::StartAcceptThread() {
  acceptThread_ = std::thread([this] { AcceptThread(); });
}

void ClientService::BeginStop() {
  state_.StopFlag.store(true);  // before the wake-up: a woken wait finds it set
  stopping_.Set();
}

void ClientService::Stop() {
  BeginStop();
  listener_.ListenerClose();
  {
    std::lock_guard guard(restLock_);
    stopped_ = true;
  }
  restEnded_.notify_all();
  if (acceptThread_.joinable()) acceptThread_.join();
  clients_.StopAll();
}

std::chrono::milliseconds AcceptRest(std::int32_t timeoutMs, unsigned failuresInARow) {
  constexpr unsigned kLongestBackOffMs = 500;
  const unsigned doublings = std::min(std::max(failuresInARow, 1u) - 1, 9u);
  const unsigned backOffMs = std::min(1u << doublings, kLongestBackOffMs);
  return std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, backOffMs));
}

void ClientService::AcceptThread() {
  unsigned failures = 0;
  while (!state_.StopFlag.load()) {
    sockaddr_in peer{};
    int client = -1;
    if (listener_.AcceptClient(peer, client)) {
      failures = 0;
      StartClientThread(client);
      continue;
    }
    // Out of descriptors, or the listener closed: rest, unless stopping.
    std::unique_lock guard(restLock_);
    restEnded_.wait_for(guard, AcceptRest(config_.Timeout, ++failures), [this] { return stopped_; });
  }
}

void ClientService::StartClientThread(int socket) {
  clients_.Start(socket, [this](int s) { ClientThread(s); });
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

// Serves until the connection ends or fails, a packet fails its check, or the
// server stops; a stop still takes in the packets the connection holds, which
// the client counts as handed over.
void ClientService::ClientThread(int socket) {
  ClientConnection connection(socket, state_.StopFlag, stopping_.Descriptor());
  if (config_.NeedReg && !Login(socket, connection)) return;
  for (;;) {
    PacketPtr p = PacketNew();
    if (!connection.ReceivePacket(*p)) return;
    HandleRequest(socket, p);
  }
}

void ClientService::HandleRequest(int socket, PacketPtr& p) {
  switch (p->type()) {
    case kPacketMessage:
      HandIn(p);
      break;
    case kPacketFetch:
      SendIncoming(socket);
      break;
    default:
      break;
  }
}

// A number the modem can never take would be refused at every try for as long as
// the server runs: such a message is set aside, never queued.
void ClientService::HandIn(PacketPtr& p) {
  const auto number = ModemNumber(p->number());
  if (!number) {
    const bool kept = SetAsidePacket(outgoingQueuePath_, *p);
    LogSetAsideHandIn(p->number(), SetAsideFile(outgoingQueuePath_), kept, errno);
    return;
  }
  PacketSetNumber(*p, *number);
  std::lock_guard guard(state_.QueueLock);
  state_.OutgoingQueue.push_back(std::move(p));
}

// Hands every waiting received message to this client, oldest first. The lock is
// not held while sending, so a client that stops reading holds up only itself; a
// packet that fails to go returns to the front of the queue and the fetch ends.
// A fetch that finds nothing waiting ends without the lock, which the modem
// worker may be holding for many seconds.
void ClientService::SendIncoming(int socket) {
  while (!state_.StopFlag.load() && state_.IncomingQueue.Count() != 0) {
    PacketPtr p;
    {
      std::lock_guard guard(state_.QueueLock);
      if (state_.IncomingQueue.empty()) return;
      p = state_.IncomingQueue.TakeFront();
    }
    if (!SendPacket(socket, *p)) {
      std::lock_guard guard(state_.QueueLock);
      state_.IncomingQueue.push_front(std::move(p));
      return;
    }
  }
}
