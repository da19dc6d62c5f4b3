#include "tests/client/core/loopback_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "protocol/packet_io.h"

namespace {

bool Readable(int socket, int timeoutMs) {
  pollfd p{socket, POLLIN, 0};
  int rc;
  do rc = ::poll(&p, 1, timeoutMs); while (rc < 0 && errno == EINTR);
  return rc > 0;
}

}  // namespace

LoopbackPeer::~LoopbackPeer() { Close(); }

LoopbackPeer& LoopbackPeer::operator=(LoopbackPeer&& other) noexcept {
  if (this != &other) {
    Close();
    socket_ = other.socket_;
    other.socket_ = -1;
  }
  return *this;
}

bool LoopbackPeer::Send(packet p) { return SendPacket(socket_, p); }

bool LoopbackPeer::SendBytes(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<packet> LoopbackPeer::Receive(int timeoutMs) {
  if (!Readable(socket_, timeoutMs)) return std::nullopt;
  packet p{};
  if (!RecvPacket(socket_, p)) return std::nullopt;
  return p;
}

bool LoopbackPeer::Quiet() {
  char byte;
  const ssize_t n = ::recv(socket_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

bool LoopbackPeer::WaitClosedByClient(int timeoutMs) {
  char buffer[kPacketSize];
  while (Readable(socket_, timeoutMs)) {
    const ssize_t n = ::recv(socket_, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EINTR)) return true;
  }
  return false;
}

void LoopbackPeer::Close() {
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
}

LoopbackServer::LoopbackServer(const char* host, std::uint16_t port) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int reuse = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = ::inet_addr(host);
  address.sin_port = htons(port);
  socklen_t size = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
  {
    if (listener_ >= 0) ::close(listener_);
    throw std::runtime_error("loopback server cannot listen");
  }
  port_ = ntohs(address.sin_port);
}

LoopbackServer::~LoopbackServer() { ::close(listener_); }

LoopbackPeer LoopbackServer::Accept(int timeoutMs) {
  if (!Readable(listener_, timeoutMs)) return LoopbackPeer();
  return LoopbackPeer(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
}

bool LoopbackServer::Pending() { return Readable(listener_, 0); }

RefusingPort::RefusingPort() {
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
  {
    if (socket_ >= 0) ::close(socket_);
    throw std::runtime_error("cannot hold a loopback port");
  }
  port_ = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort() { ::close(socket_); }

SilentListener::SilentListener() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  // With a backlog of 0 the queue holds one connection; once it does, the
  // system drops further connection requests rather than refusing them.
  const bool listening =
      listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::listen(listener_, 0) == 0 && ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  if (listening) filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (!listening || filler_ < 0 || ::connect(filler_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Release();
    throw std::runtime_error("silent listener cannot listen");
  }
  port_ = ntohs(address.sin_port);
}

SilentListener::~SilentListener() { Release(); }

void SilentListener::Release() {
  if (filler_ >= 0) ::close(filler_);
  if (listener_ >= 0) ::close(listener_);
  filler_ = listener_ = -1;
}

packet MakePacket(std::uint8_t type, std::string_view number, std::string_view text, std::string_view date) {
  packet p{};
  PacketInit(p);
  p.set_type(type);
  // Through std::string, so an empty field is never a null pointer.
  PacketSetNumber(p, std::string(number));
  PacketSetDate(p, std::string(date));
  PacketSetText(p, std::string(text));
  return p;
}
