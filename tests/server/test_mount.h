#pragma once
// File systems a test mounts to make real write and remove failures: a tiny tmpfs
// that fills up or turns read-only, or a file bound over another so that it cannot
// be removed. Mounting needs the right to do so; where the test lacks it, the
// factory gives nothing and the test skips that case.
#include <memory>
#include <string>

class TestMount {
 public:
  // A tmpfs of `bytes` at the existing folder `dir`.
  static std::unique_ptr<TestMount> Tmpfs(const std::string& dir, std::size_t bytes);
  // The file `source` seen at the existing file `target`.
  static std::unique_ptr<TestMount> Bind(const std::string& source, const std::string& target);
  ~TestMount();  // unmounts
  TestMount(const TestMount&) = delete;
  TestMount& operator=(const TestMount&) = delete;

  // False when it could not be done.
  bool MakeReadOnly();
  // A tmpfs only.
  bool Resize(std::size_t bytes);

 private:
  explicit TestMount(std::string target) : target_(std::move(target)) {}
  std::string target_;
  bool bind_ = false;
};
