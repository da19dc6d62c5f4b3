#include "serial/base/dump_text.h"

#include <cstdio>

#include "serial/base/z_strings.h"

namespace {

constexpr std::uint32_t kLastColumn = 78;

std::string HexItem(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "[%02X]", value);
  return text;
}

}  // namespace

std::int32_t OpenDumpFile(TextFile& file, const char* name, bool append) {
  AssignFile(file, name ? name : "");
  return append && name && ExistFileZ(name) ? file.Append() : file.Rewrite();
}

std::string DumpItem(std::uint8_t value, bool inHex, bool allHex) {
  if (allHex) return HexItem(value);
  if (value <= 126 && value >= (inHex ? 33 : 32)) return std::string(1, static_cast<char>(value));
  if (inHex) return HexItem(value);
  return "[" + std::to_string(value) + "]";
}

void DumpLine::Put(std::string_view item) {
  column_ += static_cast<std::uint32_t>(item.size());
  if (column_ > kLastColumn) {
    file_.WriteLn();
    if (indent_ > 0) file_.Write(std::string(indent_, ' '));
    column_ = restart_ + static_cast<std::uint32_t>(item.size());
  }
  file_.Write(item);
}
