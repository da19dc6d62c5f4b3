// The modem worker's road through the port component, over a pseudo-terminal:
// command and reply round trips, a long reply taken by a wait, and the CPU
// time of a wait and of a polling loop with nothing arriving. Not a test:
// figures go in README.
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "serial/port/com_port.h"
#include "tools/bench/bench_support.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRoundTrips = 2000;
constexpr std::size_t kListing = 256 * 1024;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The device: the benchmark's end of the terminal.
struct Terminal : BenchTerminal {
  void Send(const std::string& s) const {
    for (std::size_t done = 0; done < s.size();) {
      const ssize_t n = write(far, s.data() + done, s.size() - done);
      if (n < 0) Fail("far end write");
      done += static_cast<std::size_t>(n);
    }
  }
  // Reads up to and including the next carriage return.
  bool Command() const {
    char c = 0;
    while (c != '\r') {
      pollfd p = {far, POLLIN, 0};
      if (poll(&p, 1, 10000) <= 0 || read(far, &c, 1) != 1) return false;
    }
    return true;
  }
};

// Runs `idle` and prints the CPU time it took on its own thread and in the process.
template <typename Idle>
void IdleFigure(const char* what, Idle idle) {
  const double threadBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const double processBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto start = Clock::now();
  idle();
  const double wall = Seconds(Clock::now() - start);
  const double process = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
  std::printf("%s, %.1f s: %.2f ms CPU on the waiting thread, %.1f ms in the process (%.2f%% of a core)\n",
              what, wall, (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadBefore) * 1000, process * 1000,
              100 * process / wall);
}

}  // namespace

int main() {
  Terminal terminal;
  TDevaComPort port(nullptr);
  port.SetComNumber(7);
  port.SetHWFlowOptions({hwfUseDTR, hwfUseRTS});
  port.SetBaud(115200);
  port.SetOpen(true);

  // The far end answers each command as a modem does.
  std::atomic<bool> stop{false};
  std::thread modem([&] {
    while (!stop && terminal.Command()) terminal.Send("\r\nOK\r\n");
  });
  auto start = Clock::now();
  for (int i = 0; i < kRoundTrips; ++i) {
    port.PutString("AT\r");
    if (!port.WaitForString("OK", 100, false, true)) Fail("no OK");
  }
  const double roundTrips = Seconds(Clock::now() - start);
  stop = true;
  port.PutString("\r");  // the modem's last command
  modem.join();
  std::printf("%d commands answered with OK: %.0f per second, %.0f us each\n", kRoundTrips,
              kRoundTrips / roundTrips, roundTrips / kRoundTrips * 1e6);

  // A long reply (a message listing) taken character by character by a wait for its end.
  std::string listing;
  listing.reserve(kListing + 8);
  port.OnWaitChar = [&](TDevaCustomComPort*, char c) { listing += c; };
  std::string reply(kListing, 'x');
  for (std::size_t i = 80; i < reply.size(); i += 81) reply[i] = '\n';
  port.FlushInBuffer();
  start = Clock::now();
  std::thread sender([&] { terminal.Send(reply + "\r\nOK\r\n"); });
  if (!port.WaitForString("OK", 1000, false, true)) Fail("no end of the listing");
  const double took = Seconds(Clock::now() - start);
  sender.join();
  port.OnWaitChar = nullptr;
  std::printf("a %zu kB reply taken by one wait: %.2f MB/s (%zu bytes seen)\n", kListing / 1024,
              static_cast<double>(listing.size()) / 1e6 / took, listing.size());

  // The two ways the worker awaits a reply, each for 10 s with nothing arriving:
  // one wait, and a loop letting the port run and looking for a character.
  IdleFigure("a wait with nothing arriving",
             [&] { port.WaitForString("never", Secs2Ticks(10), false, true); });
  IdleFigure("a loop polling for a reply with nothing arriving", [&] {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
      port.ProcessCommunications();
      if (port.CharReady()) Fail("a character from the silent far end");
    }
  });
  port.SetOpen(false);
  return 0;
}
