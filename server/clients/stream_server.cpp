#include "server/clients/stream_server.h"

#include <cerrno>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/error_text.h"
#include "platform/message_box.h"
#include "platform/poll_wait.h"

namespace {

std::atomic<bool> netStarted{false};

// Probes a connection that has been quiet for a minute, then every 10 s, and gives
// it up after 6 unanswered: a client machine that vanished frees its thread and
// descriptor within about two minutes. A live client answers the probes at the
// system level, however long it stays idle; clients stay connected all day.
constexpr int kKeepIdleSeconds = 60;
constexpr int kKeepIntervalSeconds = 10;
constexpr int kKeepProbes = 6;

void KeepAlive(int s) {
  const int on = 1;
  ::setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(s, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepIdleSeconds, sizeof kKeepIdleSeconds);
  ::setsockopt(s, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepIntervalSeconds, sizeof kKeepIntervalSeconds);
  ::setsockopt(s, IPPROTO_TCP, TCP_KEEPCNT, &kKeepProbes, sizeof kKeepProbes);
}

}  // namespace

void NetStartup() { netStarted.store(true); }
void NetCleanup() { netStarted.store(false); }

void ReportLastError() {
  const int error = errno;
  MessageBox(SysErrorMessage(error), Ansi("Ошибка"), MbButtons::Ok, MbIcon::None);
  errno = error;  // still the reason for whoever reports it next
}

stream_server::stream_server(std::int32_t backlog_) : backlog(backlog_) {
  if (!netStarted.load()) NetStartup();
}

stream_server::~stream_server() {
  ListenerClose();
  const int s = socket.exchange(-1);
  if (s >= 0) ::close(s);
  port = 0;
}

bool stream_server::ListenerListen() {
  if (listening.load() || port == 0) return false;
  if (const int old = socket.exchange(-1); old >= 0) ::close(old);
  // Never blocks in accept: the accept thread waits for a client and for the
  // stop at once, and a stop takes in the backlog without waiting for more.
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (s < 0) {
    ReportLastError();
    return false;
  }
  // A restart must not wait for the last run's connections to leave TIME_WAIT;
  // a port some other program listens on still refuses the bind.
  const int on = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = htons(TcpPortOf(port));
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ReportLastError();
    ::close(s);
    return false;
  }
  if (::listen(s, backlog) != 0) {
    ReportLastError();
    ::close(s);
    return false;
  }
  socket.store(s);
  listening.store(true);
  return true;
}

std::uint16_t stream_server::ListeningPort() const {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (!listening.load() || ::getsockname(socket.load(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

void stream_server::ListenerClose() {
  if (!listening.exchange(false)) return;
  // Shutting the socket down ends a wait for a client, and every later accept on
  // it fails at once. The descriptor itself is closed by the destructor, after the
  // accept thread has ended, so its number cannot be reused under a pending wait.
  ::shutdown(socket.load(), SHUT_RDWR);
}

bool stream_server::WaitForClient(int wake) const {
  const int s = socket.load();
  if (s < 0 || !listening.load()) return false;
  pollfd fds[2] = {{s, POLLIN, 0}, {wake, POLLIN, 0}};
  return PollFor(fds, 2, kInfinite) > 0 && (fds[1].revents & POLLIN) == 0 && listening.load() &&
         (fds[0].revents & POLLIN) != 0;
}

bool stream_server::AcceptClient(sockaddr_in& peer, int& client) {
  const int s = socket.load();
  if (s < 0 || !listening.load()) {
    errno = EBADF;
    return false;
  }
  socklen_t len = sizeof peer;
  const int c = ::accept4(s, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
  if (c < 0) return false;
  KeepAlive(c);
  client = c;
  return true;
}
