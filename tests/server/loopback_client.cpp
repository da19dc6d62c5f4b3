#include "tests/server/loopback_client.h"

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "protocol/cipher.h"
#include "protocol/packet_io.h"

namespace {
constexpr int kLimitMs = 20000;

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  return a;
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, kLimitMs) == 1;
}
}  // namespace

std::vector<int> ListeningPorts(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  std::set<std::string> sockets;  // "socket:[inode]" of each open descriptor
  std::error_code ec;
  for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd", ec)) {
    const std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
    if (!ec && target.starts_with("socket:[")) sockets.insert(target.substr(8, target.size() - 9));
  }
  // Lines: "sl local_address rem_address st ... inode"; local as ADDR:PORT in hex,
  // state 0A is LISTEN.
  std::vector<int> ports;
  for (const char* table : {"/net/tcp", "/net/tcp6"}) {
    std::ifstream in(proc + table);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string sl, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
      fields >> sl >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
      if (state == "0A" && sockets.contains(inode))
        ports.push_back(std::stoi(local.substr(local.find(':') + 1), nullptr, 16));
    }
  }
  return ports;
}

packet MessagePacket(std::string_view number, std::string_view text) {
  packet p;
  PacketInit(p);
  p.set_type(kPacketMessage);
  PacketSetNumber(p, number);
  PacketSetDate(p, "09.12.2026 21:16:07");
  PacketSetText(p, text);
  return p;
}

std::vector<BrokenPacket> BrokenPackets() {
  packet changed = MessagePacket("+7001", "changed on the way");
  changed.text_field()[0] ^= 1;
  std::vector<BrokenPacket> out{{"a changed text byte", changed}};
  for (const std::uint16_t length : {1025, 65535}) {
    packet overLong = MessagePacket("+7002", std::string(kTextSize, 'x'));
    overLong.set_length(length);
    out.push_back({length == 1025 ? "length 1025" : "length 65535", overLong});
  }
  packet noise;
  std::mt19937 bytes(21);
  for (auto& b : noise.raw()) b = static_cast<std::uint8_t>(bytes());
  out.push_back({"random bytes", noise});
  return out;
}

packet TypedPacket(std::uint8_t type) {
  packet p;
  PacketInit(p);
  p.set_type(type);
  return p;
}

LoopbackClient::LoopbackClient(int port, int receiveBuffer) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in a = Loopback(port);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) Close();
}

LoopbackClient::~LoopbackClient() { Close(); }

void LoopbackClient::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool LoopbackClient::Send(packet p) { return SendPacket(fd_, p); }

bool LoopbackClient::SendRaw(std::span<const std::uint8_t> bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<packet> LoopbackClient::Receive() {
  packet p;
  auto raw = p.raw();
  std::size_t got = 0;
  while (got < raw.size()) {
    if (!Readable(fd_)) return std::nullopt;
    const ssize_t n = ::recv(fd_, raw.data() + got, raw.size() - got, 0);
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  EncodeBuffer(raw);
  return p;
}

void LoopbackClient::ShutdownWrite() { ::shutdown(fd_, SHUT_WR); }

std::optional<std::size_t> LoopbackClient::BytesUntilClosed() {
  std::size_t total = 0;
  std::uint8_t buf[4096];
  for (;;) {
    if (!Readable(fd_)) return std::nullopt;
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n == 0) return total;
    if (n < 0) return errno == ECONNRESET ? std::optional<std::size_t>(total) : std::nullopt;
    total += static_cast<std::size_t>(n);
  }
}

void LoopbackClient::Reset() {
  linger l{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  Close();
}
