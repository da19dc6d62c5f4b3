#include "client/stream_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

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

}  // namespace

Connection::~Connection() { ::close(socket_); }

bool Connection::Send(packet& p) {
  std::lock_guard guard(sendLock_);
  return open() && SendPacket(socket_, p);
}

bool Connection::Receive(packet& p) { return open() && RecvPacket(socket_, p); }

void Connection::Shutdown() {
  if (open_.exchange(false)) ::shutdown(socket_, SHUT_RDWR);
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

bool stream_client::Connect(std::string_view address) {
  Close();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
  int rc = -1;
  if (ResolveIPv4(std::string(address), target.sin_addr)) {
    do rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    while (rc != 0 && errno == EINTR);
  }
  if (rc != 0) {
    ::close(fd);
    return false;
  }
  auto connection = std::make_shared<Connection>(fd);
  std::lock_guard guard(lock_);
  current_ = std::move(connection);
  return true;
}

void stream_client::Send(packet& p) { Send(Current(), p); }

void stream_client::Send(const ConnectionPtr& connection, packet& p) {
  if (!connection) return;
  if (!connection->Send(p)) Close(connection);
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
  if (old) old->Shutdown();
}

void stream_client::Close(const ConnectionPtr& connection) {
  if (!connection) return;
  connection->Shutdown();
  std::lock_guard guard(lock_);
  if (current_ == connection) current_.reset();
}
