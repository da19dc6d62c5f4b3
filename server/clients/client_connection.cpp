#include "server/clients/client_connection.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include "platform/poll_wait.h"
#include "protocol/cipher.h"

std::size_t ClientConnection::WaitingPackets(std::size_t inHand) const {
  int queued = 0;
  if (::ioctl(socket_, FIONREAD, &queued) != 0 || queued < 0) queued = 0;
  return (inHand + static_cast<std::size_t>(queued)) / kPacketSize;
}

bool ClientConnection::WaitReadable() const {
  pollfd fds[2] = {{socket_, POLLIN, 0}, {stopWake_, POLLIN, 0}};
  return PollFor(fds, 2, kInfinite) > 0;
}

bool ClientConnection::ReceivePacket(packet& p) {
  auto raw = p.raw();
  std::size_t got = 0;
  while (got < raw.size()) {
    // What the connection holds once the stop is seen is what the client handed
    // over; what comes after it is not waited for.
    if (!left_ && stopping_.load()) left_ = WaitingPackets(got);
    if (left_ && *left_ == 0) return false;
    const ssize_t n = ::recv(socket_, raw.data() + got, raw.size() - got, MSG_DONTWAIT);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !left_) {
      if (!WaitReadable()) return false;
    } else {
      return false;  // closed, failed, or short of what it held
    }
  }
  if (left_) --*left_;
  EncodeBuffer(raw);
  return PacketVerify(p);
}
