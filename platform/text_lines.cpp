#include "platform/text_lines.h"

TextLines SplitLines(std::string_view text) {
  TextLines out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      out.crlf = true;
    }
    out.lines.emplace_back(line);
    start = end + 1;
  }
  return out;
}

std::string JoinLines(const TextLines& text) {
  std::string out;
  const char* eol = text.crlf ? "\r\n" : "\n";
  for (const auto& line : text.lines) {
    out += line;
    out += eol;
  }
  return out;
}

std::string_view TrimSpaces(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

std::optional<std::string_view> SectionHeaderName(std::string_view line) {
  line = TrimSpaces(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  // The last "]" closes it, so a name may hold "]" itself.
  const std::size_t close = line.rfind(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimSpaces(line.substr(1, close - 1));
}
