#include "serial/dispatch/log_dump_format.h"

#include <cstdio>
#include <iterator>
#include <sys/utsname.h>

#include "platform/date_time.h"
#include "serial/base/dispatch_types.h"
#include "serial/base/message_table.h"
#include "serial/base/message_table_rows.h"
#include "serial/base/system_version.h"

namespace {

#if defined(__clang__)
constexpr const char* kCompilerName = "Clang " __clang_version__;
#elif defined(__GNUC__)
constexpr const char* kCompilerName = "GNU C++ " __VERSION__;
#else
constexpr const char* kCompilerName = "C++";
#endif

constexpr std::int32_t kLogHeaderRow = 15501;
constexpr std::int32_t kModemTagRowBase = 15601;
constexpr std::int32_t kTelnetRowBase = 15700;
constexpr std::uint32_t kLastTelnetOption = 42;
constexpr std::size_t kHeaderTextLimit = 80;

std::string Cut(std::string text) {
  if (text.size() > kHeaderTextLimit) text.resize(kHeaderTextLimit);
  return text;
}

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// "name major.minor text": the system's name, release and build text.
std::string SystemDescription() {
  struct utsname u {};
  const OsVersionInfo info = GetOsVersion();
  return std::string(::uname(&u) == 0 ? u.sysname : "Unknown") + " " +
         std::to_string(info.MajorVersion) + "." + std::to_string(info.MinorVersion) + " " +
         info.CSDVersion;
}

}  // namespace

std::vector<std::string> LogHeaderLines(std::string_view deviceName) {
  // The system's own separators, as its short date and long time show them.
  const DateTime t = Now();
  char now[64];
  std::snprintf(now, sizeof now, "%02d.%02d.%02d, %02d:%02d:%02d", t.day % 100, t.month % 100,
                t.year % 100, t.hour % 100, t.minute % 100, t.second % 100);
  return {
      "DEVA v4.07",
      "Compiler : " + std::string(kCompilerName),
      "Operating System : " + Cut(SystemDescription()),
      "Device: " + std::string(deviceName),
      "Date/time: " + std::string(now),
      MessageNumberToString(kLogHeaderRow),
      MessageNumberToString(kLogHeaderRow + 1),
  };
}

std::string LogTimeText(std::uint32_t ms) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%07u", static_cast<unsigned>(ms));
  std::string text = digits;
  text.insert(text.size() - 3, ".");
  return text;
}

std::string LogEntryColumns(const TLogBuffer& entry) {
  // A value outside its list has no label (and must not reach another row).
  const std::string type =
      entry.Kind < kDispatchTypeCount ? MessageNumberToString(kDispatchTypeRowBase + entry.Kind) : "";
  const std::string subType = entry.SubKind < kDispatchSubTypeCount
                                  ? MessageNumberToString(kDispatchSubTypeRowBase + entry.SubKind)
                                  : "";
  char text[128];
  std::snprintf(text, sizeof text, "%8s  %-8s  %-12s  %08X  ", LogTimeText(entry.Stamp).c_str(),
                type.c_str(), subType.c_str(), static_cast<unsigned>(entry.Value));
  return text;
}

std::string StatusTriggerTypeName(std::uint8_t type) {
  static constexpr const char* kNames[] = {"(Not active)",         "(Modem status)",
                                           "(Line status)",        "(Output buffer free)",
                                           "(Output buffer used)", "(Output sent)"};
  return type < std::size(kNames) ? kNames[type] : "";
}

std::string ModemStatusTags(std::uint32_t data) {
  std::string tags;
  for (int bit = 0; bit < 8; ++bit)
    if (data & (1u << bit)) tags += MessageNumberToString(kModemTagRowBase + bit);
  return "(" + Trim(tags) + ")";
}

std::string TelnetOptionText(std::uint32_t option) {
  if (option > kLastTelnetOption) return "[]";
  return "[" + MessageNumberToString(kTelnetRowBase + static_cast<std::int32_t>(option)) + "]";
}
