#include "protocol/packet_io.h"

#include <cerrno>
#include <sys/socket.h>

#include "protocol/cipher.h"

namespace {

// With no wait the socket's own blocking does the waiting.
bool SendWhole(int socket, packet& p, const SendWait* wait) {
  auto raw = p.raw();
  EncodeBuffer(raw);
  const int flags = MSG_NOSIGNAL | (wait ? MSG_DONTWAIT : 0);
  std::size_t sent = 0;
  bool ok = true;
  while (sent < raw.size()) {
    const ssize_t n = ::send(socket, raw.data() + sent, raw.size() - sent, flags);
    if (n > 0) { sent += static_cast<std::size_t>(n); continue; }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && wait && (errno == EAGAIN || errno == EWOULDBLOCK) && (*wait)(socket)) continue;
    ok = false;
    break;
  }
  EncodeBuffer(raw);
  return ok;
}

}  // namespace

bool SendPacket(int socket, packet& p) { return SendWhole(socket, p, nullptr); }

bool SendPacket(int socket, packet& p, const SendWait& wait) { return SendWhole(socket, p, &wait); }

bool RecvPacket(int socket, packet& p) {
  auto raw = p.raw();
  std::size_t got = 0;
  while (got < raw.size()) {
    const ssize_t n = ::recv(socket, raw.data() + got, raw.size() - got, 0);
    if (n > 0) { got += static_cast<std::size_t>(n); continue; }
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
  EncodeBuffer(raw);
  return true;
}
