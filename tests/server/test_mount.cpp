#include "tests/server/test_mount.h"

#include <string>
#include <sys/mount.h>

std::unique_ptr<TestMount> TestMount::Tmpfs(const std::string& dir, std::size_t bytes) {
  const std::string options = "size=" + std::to_string(bytes);
  if (::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) return nullptr;
  return std::unique_ptr<TestMount>(new TestMount(dir));
}

std::unique_ptr<TestMount> TestMount::Bind(const std::string& source, const std::string& target) {
  if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) return nullptr;
  auto mount = std::unique_ptr<TestMount>(new TestMount(target));
  mount->bind_ = true;
  return mount;
}

TestMount::~TestMount() { ::umount2(target_.c_str(), MNT_DETACH); }

bool TestMount::MakeReadOnly() {
  return ::mount(nullptr, target_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | (bind_ ? MS_BIND : 0), nullptr) == 0;
}

bool TestMount::Resize(std::size_t bytes) {
  const std::string options = "size=" + std::to_string(bytes);
  return ::mount(nullptr, target_.c_str(), nullptr, MS_REMOUNT, options.c_str()) == 0;
}
