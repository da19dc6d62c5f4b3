// The modem worker against the simulated modem on a pseudo-terminal: messages
// sent per second, the process's CPU time while the modem is silent, while it
// only chatters, while it answers a byte at a time and while the SIM is polled,
// and the time the close takes with the worker waiting on a silent modem. Not a
// test: figures go in README.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/com_port_names.h"
#include "server/open_modem_port.h"
#include "server/server_core.h"
#include "tools/bench/bench_support.h"
#include "tools/modem_sim/modem_sim.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kMessages = 300;
constexpr auto kIdleSpan = 30s;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A server in a folder of its own whose modem, COM5, is the simulator.
struct Server {
  explicit Server(bool checkMail) {
    dir = std::filesystem::temp_directory_path() / ("trelm-modem-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / kRegistryFile) << "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\""
                                       << sim.DevicePath() << "\"=\"COM5\"\n";
    sim.SetLogSink([](const std::string&) {});  // nothing piles up
    sim.Start();
    core = std::make_unique<ServerCore>(dir.string());
    core->set_close_wait_ms(0);
    ServerConfig config;
    config.EthernetPort = 0x10000;  // any free port
    config.CheckMail = checkMail;
    if (!core->Start(config)) Fail("the server did not start");
    if (!OpenModemPort(*core, 5)) Fail("the modem's port did not open");
  }
  ~Server() {
    core.reset();
    SetComRegistryFile("");
    std::filesystem::remove_all(dir);
  }
  void Queue(int count) {
    std::lock_guard guard(core->state().QueueLock);
    for (int i = 0; i < count; ++i) {
      PacketPtr p = PacketNew();
      PacketSetNumber(*p, "+79161234567");
      PacketSetText(*p, "Message " + std::to_string(i) + " of the benchmark");
      core->state().OutgoingQueue.Append(std::move(p));
    }
  }
  // The process's share of one core over `span`.
  static double CpuShare(std::chrono::seconds span) {
    const double before = CpuSeconds();
    std::this_thread::sleep_for(span);
    return (CpuSeconds() - before) / static_cast<double>(span.count()) * 100.0;
  }

  std::filesystem::path dir;
  ModemSim sim;
  std::unique_ptr<ServerCore> core;
};

}  // namespace

int main() {
  {
    Server s(false);
    s.Queue(kMessages);
    const auto begun = Clock::now();
    if (!s.sim.WaitFor([](const ModemSimView& v) { return v.sends.size() >= kMessages; }, 300s))
      Fail("not every message was sent");
    const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    std::printf("%d single-part messages sent in %.2f s: %.0f per second (%.2f ms each, with the modem check)\n",
                kMessages, seconds, kMessages / seconds, seconds * 1000 / kMessages);
  }
  {
    Server s(false);
    s.sim.SetSilent(true);
    s.Queue(1);
    std::printf("silent modem, one message waiting: %.2f%% of a core over %lld s\n", Server::CpuShare(kIdleSpan),
                static_cast<long long>(kIdleSpan.count()));
    const auto begun = Clock::now();
    s.core->Close();
    std::printf("close with the worker waiting on the silent modem: %.1f ms\n", Ms(Clock::now() - begun));
  }
  {
    Server s(false);
    s.sim.SetSilent(true);
    s.sim.SetChatter(300ms);
    s.Queue(1);
    std::printf("modem that answers nothing but reports its signal every 0.3 s, one message waiting: %.2f%% of a core over %lld s\n",
                Server::CpuShare(kIdleSpan), static_cast<long long>(kIdleSpan.count()));
  }
  {
    Server s(false);
    s.sim.SetByteDelay(50ms);
    s.Queue(kMessages);
    std::printf("slow modem (a byte every 50 ms), messages being sent: %.2f%% of a core over %lld s\n",
                Server::CpuShare(kIdleSpan), static_cast<long long>(kIdleSpan.count()));
  }
  {
    Server s(true);
    std::printf("answering modem, empty queue, SIM read every 5 s: %.2f%% of a core over %lld s\n",
                Server::CpuShare(kIdleSpan), static_cast<long long>(kIdleSpan.count()));
  }
  return 0;
}
