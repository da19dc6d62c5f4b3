#include "client/book/recipients.h"

#include "platform/text_lines.h"

std::vector<std::string> SplitRecipients(std::string_view text) {
  std::vector<std::string> numbers;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string_view entry = TrimSpaces(text.substr(start, comma - start));
    if (!entry.empty()) numbers.emplace_back(entry);
    if (comma == std::string_view::npos) return numbers;
    start = comma + 1;
  }
}

bool AddRecipient(std::string& recipients, std::string_view number) {
  if (recipients.find(number) != std::string::npos) return false;
  if (!recipients.empty()) recipients += ',';
  recipients += number;
  return true;
}
