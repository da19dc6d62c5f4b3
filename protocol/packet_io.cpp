#include "protocol/packet_io.h"

#include <cerrno>
#include <sys/socket.h>

#include "protocol/cipher.h"

bool SendPacket(int socket, packet& p) {
  auto raw = p.raw();
  EncodeBuffer(raw);
  std::size_t sent = 0;
  bool ok = true;
  while (sent < raw.size()) {
    const ssize_t n = ::send(socket, raw.data() + sent, raw.size() - sent, MSG_NOSIGNAL);
    if (n > 0) { sent += static_cast<std::size_t>(n); continue; }
    if (n < 0 && errno == EINTR) continue;
    ok = false;
    break;
  }
  EncodeBuffer(raw);
  return ok;
}

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
