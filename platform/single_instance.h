#pragma once
// One running copy per program name ("trelmsrv", "trelmcl"): a lock on a file
// that the system releases when the process ends, however it ends.
#include <string>

class SingleInstance {
 public:
  // lockDir: where the lock file lives; empty means the user's runtime directory
  // ($XDG_RUNTIME_DIR, else /tmp).
  explicit SingleInstance(const std::string& name, const std::string& lockDir = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when another holder had the name first (this object then holds nothing).
  bool AlreadyRunning() const { return !owned_; }

 private:
  int fd_ = -1;
  bool owned_ = false;
};
