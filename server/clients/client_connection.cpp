#include "server/clients/client_connection.h"

#include <algorithm>
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

bool ClientConnection::WaitReadable() {
  if (!stopSeen_) {
    pollfd fds[2] = {{socket_, POLLIN, 0}, {stop_.wake, POLLIN, 0}};
    return PollFor(fds, 2, kInfinite) >= 0;
  }
  const Clock::time_point until = std::min(lastBytes_ + stop_.quiet, deadline_);
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
  pollfd fd{socket_, POLLIN, 0};
  return PollFor(&fd, 1, static_cast<std::uint32_t>(std::max<std::int64_t>(wait.count(), 0))) >= 0;
}

bool ClientConnection::ReceivePacket(packet& p) {
  auto raw = p.raw();
  std::size_t got = 0;
  while (got < raw.size()) {
    if (!stopSeen_ && stop_.stopping.load()) {
      stopSeen_ = true;
      deadline_ = Clock::time_point(Clock::duration(stop_.deadline.load()));
      lastBytes_ = Clock::now();
    }
    // The close's time is up: what is whole in the connection now is what the
    // client handed over; what comes after it is not waited for.
    if (stopSeen_ && !left_ && Clock::now() >= deadline_) left_ = WaitingPackets(got);
    if (left_ && *left_ == 0) return false;
    const ssize_t n = ::recv(socket_, raw.data() + got, raw.size() - got, MSG_DONTWAIT);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      if (stopSeen_) lastBytes_ = Clock::now();
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !left_) {
      // Nothing came for a while since the stop (however long this thread was
      // busy, what came meanwhile was read first): the client has said all it had.
      if (stopSeen_ && Clock::now() >= lastBytes_ + stop_.quiet) return false;
      if (!WaitReadable()) return false;
    } else {
      return false;  // closed, failed, or short of what it held
    }
  }
  if (left_) --*left_;
  EncodeBuffer(raw);
  return PacketVerify(p);
}
