// The server's client service under load: 100 clients each hand in 1,000 messages
// over loopback TCP at once, while the outgoing queue's store appends them to
// inbox.db and flushes it in batches. Then 60% of them leave the queue, as if sent
// (the store notes that, and may write inbox.db anew meanwhile), and the close
// writes inbox.db anew with the 40% left; the first argument, when given, is how
// many leave instead (1: the close writes the whole file anew). Prints packets per second into the
// outgoing queue and onto disk, the resident memory and how long the close takes.
// Not a test: figures go in README.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "protocol/packet_io.h"
#include "server/store/queue_file.h"
#include "server/server_core.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kClients = 100;
constexpr int kPerClient = 1000;
constexpr int kCloseWaitMs = 2000;

int Connect(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    std::perror("connect");
    std::exit(1);
  }
  return s;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const auto dir = std::filesystem::temp_directory_path() / ("trelm-server-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const long rssBefore = ResidentKiB();

  ServerCore core(dir.string());
  core.set_close_wait_ms(kCloseWaitMs);
  ServerConfig config;
  config.EthernetPort = 0x10000;  // low 16 bits 0: the system picks a free port
  config.UCNT = kClients;         // all clients connect at once
  if (!core.Start(config)) return 1;

  // Connect everyone first, so the timing covers handing in, not connecting.
  std::vector<int> sockets;
  for (int i = 0; i < kClients; ++i) sockets.push_back(Connect(core.ListeningPort()));

  std::atomic<bool> go{false};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      packet p;
      PacketInit(p);
      p.set_type(kPacketMessage);
      PacketSetNumber(p, "+7916" + std::to_string(1000000 + c));
      PacketSetDate(p, "09.12.2026 21:16:07");
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kPerClient; ++i) {
        PacketSetText(p, "message " + std::to_string(i) + " of client " + std::to_string(c));
        if (!SendPacket(sockets[static_cast<std::size_t>(c)], p)) std::exit(2);
      }
    });
  }

  const auto start = Clock::now();
  go.store(true);
  const std::size_t total = static_cast<std::size_t>(kClients) * kPerClient;
  while (core.state().OutgoingCount() < total) std::this_thread::sleep_for(std::chrono::microseconds(200));
  const auto accepted = Clock::now() - start;
  if (!core.state().OutgoingStore->Flush()) return 4;
  const auto onDisk = Clock::now() - start;
  for (auto& t : clients) t.join();
  const long rssLoaded = ResidentKiB();
  std::printf("clients: %d, packets each: %d, packets in OutgoingQueue: %zu\n", kClients, kPerClient, total);
  std::printf("into the queue in %.0f ms: %.0f packets/s\n", Ms(accepted), total / (Ms(accepted) / 1000.0));
  std::printf("on disk in %.0f ms: %.0f packets/s\n", Ms(onDisk), total / (Ms(onDisk) / 1000.0));
  std::printf("resident memory: %ld KiB before start, %ld KiB with %zu packets queued\n", rssBefore, rssLoaded,
              total);
  std::fflush(stdout);

  // 60% sent; the close writes inbox.db anew with the rest.
  const std::size_t sent = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : total * 6 / 10;
  {
    std::lock_guard guard(core.state().QueueLock);
    for (std::size_t i = 0; i < sent; ++i)
      core.state().OutgoingStore->Acknowledge(core.state().OutgoingQueue.TakeFront().id);
  }
  if (!core.state().OutgoingStore->Flush()) return 4;
  const auto left = static_cast<std::uintmax_t>(total - sent) * kPacketSize;
  const auto file = dir / kOutgoingQueueFile;

  const auto closeStart = Clock::now();
  core.Close();
  const auto closeTook = Clock::now() - closeStart;
  for (int s : sockets) ::close(s);

  const auto saved = std::filesystem::file_size(file);
  std::printf("close, %zu connections open, %zu packets sent of %zu: %.0f ms in all (the wait at most %d ms); "
              "inbox.db %ju bytes\n", sockets.size(), sent, total, Ms(closeTook), kCloseWaitMs,
              static_cast<std::uintmax_t>(saved));
  std::filesystem::remove_all(dir);
  return saved == left ? 0 : 3;
}
