#include "platform/once_per_cause.h"

#include "platform/stderr_lines.h"

void OncePerCause::Say(const std::string& line) {
  {
    std::lock_guard guard(lock_);
    if (line == last_) return;
    last_ = line;
  }
  StderrPrintf("%s\n", line.c_str());
}

void OncePerCause::Clear() {
  std::lock_guard guard(lock_);
  last_.clear();
}
