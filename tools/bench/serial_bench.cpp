// The serial dispatcher's threads between a program and a pseudo-terminal:
// bytes per second each way, and the CPU time an open, idle port takes over
// 10 s. Not a test: figures go in README.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <thread>

#include "serial/dispatch/win32_dispatcher.h"
#include "tools/bench/bench_support.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kBytes = 64 << 20;
constexpr std::uint32_t kWaitMs = 10000;

void FarSend(int fd, std::size_t count) {
  std::string block(64 * 1024, 'x');
  while (count > 0) {
    const ssize_t n = write(fd, block.data(), std::min(block.size(), count));
    if (n < 0) Fail("far end write");
    count -= static_cast<std::size_t>(n);
  }
}

void FarReceive(int fd, std::size_t count) {
  std::string block(64 * 1024, 0);
  while (count > 0) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(kWaitMs)) <= 0) Fail("far end got nothing");
    const ssize_t n = read(fd, block.data(), std::min(block.size(), count));
    if (n <= 0) Fail("far end read");
    count -= static_cast<std::size_t>(n);
  }
}

double MegabytesPerSecond(std::size_t bytes, Clock::duration took) {
  return static_cast<double>(bytes) / 1e6 / std::chrono::duration<double>(took).count();
}

// The far end sends; the program takes the bytes from the input ring.
double Receiving(TDevaBaseDispatcher& d, int far) {
  std::string block(kInRingSize, 0);
  const auto start = Clock::now();
  std::thread sender(FarSend, far, kBytes);
  for (std::size_t got = 0; got < kBytes;) {
    if (!d.WaitForInput(kWaitMs)) Fail("the port got nothing");
    const std::uint32_t n = d.InBuffUsed();
    if (d.GetBlock(std::span<char>(block.data(), n)) > 0) got += n;
  }
  const auto took = Clock::now() - start;
  sender.join();
  return MegabytesPerSecond(kBytes, took);
}

// The program queues bytes as the output ring has room; the far end takes them.
double Sending(TDevaBaseDispatcher& d, int far) {
  const std::string block(kInRingSize, 'y');
  const auto start = Clock::now();
  std::thread receiver(FarReceive, far, kBytes);
  for (std::size_t sent = 0; sent < kBytes;) {
    const std::uint32_t free = std::min<std::size_t>(d.OutBuffFree(), kBytes - sent);
    if (free == 0) {
      if (d.WriteDoneEvent->Wait(kWaitMs) != WaitResult::Signaled) Fail("the output ring stays full");
      continue;
    }
    if (d.PutBlock(std::span<const char>(block.data(), free)) != 0) Fail("PutBlock");
    sent += free;
  }
  receiver.join();
  return MegabytesPerSecond(kBytes, Clock::now() - start);
}

}  // namespace

int main() {
  BenchTerminal terminal;
  TDevaWin32Dispatcher d(nullptr);
  if (d.InitPort("\\\\.\\COM7", 115200, 0, 8, 1, 4096, 4096, kOptRaiseDtr | kOptRaiseRts) != 0)
    Fail("the port did not open");

  std::printf("%zu MB each way, rings of %u (input) and 4096 (output) bytes\n", kBytes >> 20,
              kInRingSize);
  std::printf("far end to program: %.1f MB/s\n", Receiving(d, terminal.far));
  std::printf("program to far end: %.1f MB/s\n", Sending(d, terminal.far));

  const double cpuBefore = CpuSeconds();
  const auto wallBefore = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  const double cpu = CpuSeconds() - cpuBefore;
  const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
  std::printf("open idle port: %.1f ms CPU in %.1f s (%.3f%% of a core)\n", cpu * 1000, wall,
              100 * cpu / wall);
  d.DonePort();
  return 0;
}
