#include "client/core/stream_client.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#include "platform/poll_wait.h"
#include "protocol/packet_io.h"

namespace {

// The server's IPv4 address: a host name's first address, else dotted text.
bool ResolveIPv4(const std::string& address, in_addr& out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (!address.empty() && ::getaddrinfo(address.c_str(), nullptr, &hints, &found) == 0 && found) {
    out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
  }
  const in_addr_t dotted = ::inet_addr(address.c_str());
  if (dotted == 0 || dotted == INADDR_NONE) return false;
  out.s_addr = dotted;
  return true;
}

// Waits until the socket is ready for `events` or the deadline passes (at
// once, when it has passed); true when ready.
bool PollUntil(int fd, short events, SteadyTime deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  const auto ms = std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, kInfinite - 1);
  pollfd p{fd, events, 0};
  return PollFor(&p, 1, static_cast<std::uint32_t>(ms)) > 0;
}

// Back to blocking for the receive thread; sends do not block (they wait
// through their SendWaitUntil).
bool MakeBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

}  // namespace

bool WaitWritableUntil(int socket, SteadyTime deadline) { return PollUntil(socket, POLLOUT, deadline); }

Connection::~Connection() { ::close(socket_); }

// The limit holds for the whole record: a server that takes a little at a time
// cannot stretch it, as a time-out per send call would let it.
bool Connection::Send(packet& p, const SendWaitUntil& wait) {
  // A send from inside another's wait (the event loop it turns) would put its
  // bytes in the middle of that packet, and would wait for that lock for ever.
  if (sender_.load() == std::this_thread::get_id()) return false;
  std::lock_guard guard(sendLock_);
  if (!open()) return false;
  sender_ = std::this_thread::get_id();
  const SteadyTime deadline = std::chrono::steady_clock::now() + sendLimit_;
  const bool sent =
      SendPacket(socket_, p, [&](int fd) { return wait ? wait(fd, deadline) : WaitWritableUntil(fd, deadline); });
  sender_ = std::thread::id();
  return sent;
}

bool Connection::Receive(packet& p) { return open() && RecvPacket(socket_, p); }

bool Connection::WaitReadable(std::chrono::milliseconds timeout) const {
  pollfd p{socket_, POLLIN, 0};
  int rc;
  do rc = ::poll(&p, 1, static_cast<int>(timeout.count()));
  while (rc < 0 && errno == EINTR);
  return rc > 0;
}

void Connection::Shutdown() {
  if (open_.exchange(false)) ::shutdown(socket_, SHUT_RDWR);
}

void Connection::HangUp() {
  hungUp_ = true;
  Shutdown();
}

bool Connection::LoginPending() const {
  const LoginState state = login();
  return state != LoginState::None && state != LoginState::Accepted;
}

stream_client::stream_client() = default;

stream_client::~stream_client() { Close(); }

bool stream_client::connected() const {
  std::lock_guard guard(lock_);
  return current_ && current_->open();
}

int stream_client::socket() const {
  std::lock_guard guard(lock_);
  return current_ && current_->open() ? current_->socket() : -1;
}

ConnectionPtr stream_client::Current() const {
  std::lock_guard guard(lock_);
  return current_;
}

PendingConnect::~PendingConnect() {
  if (socket_ >= 0) ::close(socket_);
}

std::unique_ptr<PendingConnect> stream_client::BeginConnect(std::string_view address) {
  Close();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return nullptr;
  auto pending = std::make_unique<PendingConnect>(fd, std::chrono::steady_clock::now() + connectTimeout);
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
  if (!ResolveIPv4(std::string(address), target.sin_addr)) return nullptr;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 && errno != EINPROGRESS &&
      errno != EINTR)
    return nullptr;
  return pending;
}

bool stream_client::FinishConnect(PendingConnect& pending) {
  const int fd = pending.socket_;
  if (fd < 0 || !PollUntil(fd, POLLOUT, {})) return false;
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0 || !MakeBlocking(fd)) return false;
  pending.socket_ = -1;
  auto connection = std::make_shared<Connection>(fd, sendTimeout);
  ConnectionPtr old;
  {
    std::lock_guard guard(lock_);
    old = std::exchange(current_, std::move(connection));
  }
  if (old) old->HangUp();
  return true;
}

bool stream_client::Connect(std::string_view address) {
  const std::unique_ptr<PendingConnect> pending = BeginConnect(address);
  if (!pending) return false;
  PollUntil(pending->socket(), POLLOUT, pending->deadline());
  return FinishConnect(*pending);
}

bool stream_client::Send(packet& p) { return Send(Current(), p); }

bool stream_client::LoginPending() const {
  const ConnectionPtr connection = Current();
  return connection && connection->LoginPending();
}

bool stream_client::Send(const ConnectionPtr& connection, packet& p) {
  if (!connection) return false;
  if (p.type() != kPacketLogin && connection->LoginPending()) return false;
  if (connection->Send(p, sendWait)) return true;
  Close(connection);
  return false;
}

bool stream_client::Receive(packet& p) { return Receive(Current(), p); }

bool stream_client::Receive(const ConnectionPtr& connection, packet& p) {
  if (!connection || !connection->open()) return false;
  if (connection->Receive(p) && PacketVerify(p)) return true;
  // A lost connection, or a record we cannot trust: either way the stream is
  // no longer in step with the server, so the connection ends here.
  Close(connection);
  return false;
}

void stream_client::Close() {
  ConnectionPtr old;
  {
    std::lock_guard guard(lock_);
    old = std::move(current_);
  }
  if (old) old->HangUp();
}

void stream_client::Close(const ConnectionPtr& connection) {
  if (!connection) return;
  connection->Shutdown();
  std::lock_guard guard(lock_);
  if (current_ == connection) current_.reset();
}
