#include "platform/once_per_cause.h"

#include <cstdio>

void OncePerCause::Say(const std::string& line) {
  {
    std::lock_guard guard(lock_);
    if (line == last_) return;
    last_ = line;
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

void OncePerCause::Clear() {
  std::lock_guard guard(lock_);
  last_.clear();
}
