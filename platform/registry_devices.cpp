#include "platform/registry_devices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>

#include "platform/file_io.h"
#include "platform/text_lines.h"

namespace fs = std::filesystem;

namespace {

std::mutex& RootLock() {
  static std::mutex lock;
  return lock;
}

std::string& Root() {
  static std::string root = "/sys";
  return root;
}

struct TtyKind {
  std::string_view prefix;
  int base;
};
constexpr TtyKind kKinds[] = {{"ttyACM", 100}, {"ttyUSB", 200}};

// The COM number of a tty name, or 0 for a tty the rule does not cover.
int ComNumberOf(std::string_view name) {
  for (const TtyKind& kind : kKinds) {
    if (name.substr(0, kind.prefix.size()) != kind.prefix) continue;
    const std::string_view digits = name.substr(kind.prefix.size());
    if (digits.empty() || digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) return 0;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return 0;
    return kind.base + std::stoi(std::string(digits));
  }
  return 0;
}

// A USB id file: four hex digits, given back in lower case.
std::string ReadUsbId(const fs::path& file) {
  const auto text = ReadWholeFile(file.string());
  if (!text) return "";
  std::string id(TrimSpaces(*text));
  if (id.size() != 4 || !std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isxdigit(c); }))
    return "";
  std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return std::tolower(c); });
  return id;
}

// The tty's USB device is the nearest folder above its interface that has ids.
bool FindUsbIds(const fs::path& root, const fs::path& ttyDir, UsbSerialDevice& device) {
  std::error_code ec;
  fs::path at = fs::canonical(ttyDir / "device", ec);
  if (ec) return false;
  for (; at.has_relative_path() && at != root; at = at.parent_path()) {
    if (!fs::exists(at / "idVendor", ec) || !fs::exists(at / "idProduct", ec)) continue;
    device.vendorId = ReadUsbId(at / "idVendor");
    device.productId = ReadUsbId(at / "idProduct");
    return !device.vendorId.empty() && !device.productId.empty();
  }
  return false;
}

}  // namespace

void SetDeviceTreeRoot(std::string root) {
  std::lock_guard guard(RootLock());
  Root() = std::move(root);
}

std::string DeviceTreeRoot() {
  std::lock_guard guard(RootLock());
  return Root();
}

std::vector<UsbSerialDevice> ListUsbSerialDevices() {
  std::vector<std::pair<int, UsbSerialDevice>> found;
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(DeviceTreeRoot(), ec);
  if (ec) return {};
  for (fs::directory_iterator it(root / "class" / "tty", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const int number = ComNumberOf(name);
    if (number == 0) continue;
    UsbSerialDevice device;
    if (!FindUsbIds(root, it->path(), device)) continue;
    device.devicePath = "/dev/" + name;
    device.portName = "COM" + std::to_string(number);
    device.instance = name;
    found.emplace_back(number, std::move(device));
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<UsbSerialDevice> out;
  for (auto& entry : found) out.push_back(std::move(entry.second));
  return out;
}
