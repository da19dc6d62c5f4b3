#include "platform/com_port_names.h"

#include <charconv>
#include <mutex>

#include "platform/ansi_case.h"
#include "platform/program_dir.h"
#include "platform/registry.h"

namespace {

std::mutex fileLock;
std::optional<std::string> registryFile;  // guarded by fileLock

}  // namespace

int ComNumberFromName(std::string_view name) {
  if (name.starts_with("\\\\.\\")) name.remove_prefix(4);
  if (name.size() < 4 || !AnsiEqualNoCase(name.substr(0, 3), "COM")) return 0;
  name.remove_prefix(3);
  int number = 0;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
  return ec == std::errc() && end == name.data() + name.size() && number > 0 ? number : 0;
}

std::optional<std::string> ComDevicePath(int number, const std::string& registryFile) {
  if (number <= 0) return std::nullopt;
  TRegistry registry(registryFile);
  if (!registry.OpenKeyReadOnly(kSerialCommKey)) return std::nullopt;
  const std::string wanted = "COM" + std::to_string(number);
  for (const std::string& path : registry.GetValueNames())
    if (registry.GetDataType(path) == RegDataType::String &&
        AnsiEqualNoCase(registry.ReadString(path), wanted))
      return path;
  return std::nullopt;
}

void SetComRegistryFile(std::string path) {
  std::lock_guard lock(fileLock);
  if (path.empty())
    registryFile.reset();
  else
    registryFile = std::move(path);
}

std::string ComRegistryFile() {
  std::lock_guard lock(fileLock);
  return registryFile ? *registryFile : ProgramDir() + "/registry.reg";
}
