#pragma once
// Conditions under which a file cannot be opened, made for a test and undone after.
#include <vector>

// Takes from the calling thread, while it lives, the superuser's power to pass
// over file permissions, so that a test run as root meets "permission denied" as
// any other user would. Only this thread: the rest of the process keeps what it had.
class WithoutFileOverride {
 public:
  WithoutFileOverride();
  ~WithoutFileOverride();
  WithoutFileOverride(const WithoutFileOverride&) = delete;
  WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

 private:
  bool dropped_ = false;
  unsigned saved_[2] = {};  // the effective sets, low and high words
};

// Leaves the process no descriptor to open, while it lives: its limit lowered and
// every free number below it taken.
class NoDescriptorLeft {
 public:
  NoDescriptorLeft();
  ~NoDescriptorLeft();
  NoDescriptorLeft(const NoDescriptorLeft&) = delete;
  NoDescriptorLeft& operator=(const NoDescriptorLeft&) = delete;

 private:
  unsigned long savedLimit_ = 0;
  std::vector<int> taken_;
};
