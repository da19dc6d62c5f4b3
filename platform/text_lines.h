#pragma once
// Line-based text files with [section] headers: the common ground of the INI
// files and the registry file. Lines are kept as they were so that a rewrite
// keeps what the reader does not understand.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TextLines {
  std::vector<std::string> lines;  // without line ends
  bool crlf = false;               // the file used CR LF; a rewrite keeps it
};

TextLines SplitLines(std::string_view text);
std::string JoinLines(const TextLines& text);

std::string_view TrimSpaces(std::string_view s);
// The name between "[" and the line's last "]" (trimmed), or nothing when the
// line is no header.
std::optional<std::string_view> SectionHeaderName(std::string_view line);
