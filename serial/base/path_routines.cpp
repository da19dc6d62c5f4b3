#include "serial/base/path_routines.h"

#include "serial/base/z_strings.h"

namespace {

constexpr std::string_view kDelimiters = ":\\";
constexpr std::size_t kMaxFileName = 255;

bool IsDelimiter(char c) { return kDelimiters.find(c) != std::string_view::npos; }

std::size_t LastDelimiter(std::string_view s) { return s.find_last_of(kDelimiters); }

// Position of the extension's dot, or npos when the name has none.
std::size_t ExtensionDot(std::string_view s) {
  const std::size_t dot = s.rfind('.');
  if (dot == std::string_view::npos) return dot;
  const std::size_t delim = LastDelimiter(s);
  return delim != std::string_view::npos && delim > dot ? std::string_view::npos : dot;
}

std::string WithBackSlash(std::string_view dir) {
  std::string out(dir);
  if (!out.empty() && !IsDelimiter(out.back())) out += '\\';
  return out;
}

const char kNoExtension[] = "";

}  // namespace

char* JustPathnameZ(std::span<char> dest, std::string_view path_name) {
  const std::size_t i = LastDelimiter(path_name);
  if (i == std::string_view::npos) return CopyZ(dest, {});
  const bool keep = i == 0 || path_name[i] == ':' || path_name[i - 1] == ':';
  return CopyZ(dest, path_name.substr(0, keep ? i + 1 : i));
}

char* JustFilenameZ(std::span<char> dest, std::string_view path_name) {
  const std::size_t i = LastDelimiter(path_name);
  const std::string_view name = i == std::string_view::npos ? path_name : path_name.substr(i + 1);
  return CopyZ(dest, name.substr(0, kMaxFileName));
}

const char* JustExtensionZ(std::span<char> dest, std::string_view name) {
  const std::size_t dot = ExtensionDot(name);
  if (dot == std::string_view::npos) return kNoExtension;
  return CopyZ(dest, name.substr(dot + 1, 3));
}

char* AddBackSlashZ(std::span<char> dest, std::string_view dir_name) {
  return CopyZ(dest, WithBackSlash(dir_name));
}

char* ForceExtensionZ(std::span<char> dest, std::string_view name, std::string_view ext) {
  const std::string out = std::string(name.substr(0, ExtensionDot(name))) + "." + std::string(ext);
  return CopyZ(dest, out);
}

char* DefaultExtensionZ(std::span<char> dest, std::string_view name, std::string_view ext) {
  if (ExtensionDot(name) != std::string_view::npos) return CopyZ(dest, name);
  return CopyZ(dest, std::string(name) + "." + std::string(ext));
}

std::string JustName(std::string_view path_name) {
  const std::size_t i = LastDelimiter(path_name);
  std::string_view name = i == std::string_view::npos ? path_name : path_name.substr(i + 1);
  return std::string(name.substr(0, name.find('.')));
}

std::string AddBackSlash(std::string_view dir_name) {
  if (!dir_name.empty() && dir_name.back() == '"') {
    // A lone quote has no directory before it: it stays as it is.
    return WithBackSlash(dir_name.substr(0, dir_name.size() - 1)) + '"';
  }
  return WithBackSlash(dir_name);
}
