#pragma once
// What the serial and modem benchmarks share: how they give up, the CPU clock,
// and a pseudo-terminal that the serial layer opens as a COM port.
#include <time.h>

#include <filesystem>

// Says what went wrong, after the program's name, and ends the program.
[[noreturn]] void Fail(const char* what);

double CpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID);

// A raw pseudo-terminal declared as COM7 in a registry file of its own; `far`
// is the end the benchmark plays the device on.
struct BenchTerminal {
  BenchTerminal();
  ~BenchTerminal();
  BenchTerminal(const BenchTerminal&) = delete;
  BenchTerminal& operator=(const BenchTerminal&) = delete;

  int far = -1;
  std::filesystem::path dir;
};
