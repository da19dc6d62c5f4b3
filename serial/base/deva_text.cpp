#include "serial/base/deva_text.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/errno_map.h"
#include "platform/error_text.h"
#include "serial/base/message_table.h"

std::string CleanSystemText(std::string_view text) {
  std::string s(text.substr(0, kMaxMessageText));
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (!(c == ' ' && !out.empty() && out.back() == ' ')) out += c;
  return out;
}

std::string DevaLoadStr(std::int32_t code) {
  std::string text = MessageNumberToString(code);
  if (!text.empty()) return text;
  // Codes count in the layer's own numbering of system errors; the platform's
  // text is that of the platform error it was translated from.
  if (code == INT32_MIN) return {};
  const int platform_error = ErrnoFromSysError(code < 0 ? -code : code);
  if (platform_error == 0) return {};
  return CleanSystemText(SysErrorMessage(platform_error));
}

std::string ErrorMsg(std::int32_t code) { return DevaLoadStr(code); }

char* DevaLoadZ(std::span<char> dest, std::int32_t code) {
  if (dest.empty()) return dest.data();
  const std::string text = DevaLoadStr(code);
  const std::size_t n = std::min(text.size(), dest.size() - 1);
  std::memcpy(dest.data(), text.data(), n);
  dest[n] = '\0';
  return dest.data();
}
