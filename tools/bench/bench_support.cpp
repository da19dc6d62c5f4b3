#include "tools/bench/bench_support.h"

#include <errno.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com_port_names.h"
#include "platform/registry.h"

void Fail(const char* what) {
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what);
  std::exit(1);
}

double CpuSeconds(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

BenchTerminal::BenchTerminal() {
  char name[128];
  int device;
  if (openpty(&far, &device, name, nullptr, nullptr) < 0) Fail("openpty");
  termios t;
  tcgetattr(far, &t);
  cfmakeraw(&t);
  tcsetattr(far, TCSANOW, &t);
  close(device);
  dir = std::filesystem::temp_directory_path() /
        (std::string(program_invocation_short_name) + "." + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string registry = (dir / "registry.reg").string();
  TRegistry r(registry);
  r.OpenKey(kSerialCommKey, true);
  r.WriteString(name, "COM7");
  SetComRegistryFile(registry);
}

BenchTerminal::~BenchTerminal() {
  close(far);
  std::filesystem::remove_all(dir);
}
