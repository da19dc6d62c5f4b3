#include "tools/modem_sim/message_lines.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "platform/file_io.h"
#include "platform/text_lines.h"

namespace {

SmsTime FromTm(const std::tm& t) {
  return SmsTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                 static_cast<int>(t.tm_gmtoff / (15 * 60))};
}

// "2026-03-12 14:05:23" or "2026-03-12 14:05", local time.
SmsTime ParseLocalTime(std::string_view text) {
  std::tm t{};
  int consumed = 0;
  const std::string s(text);
  const int fields = std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d%n:%2d%n", &t.tm_year, &t.tm_mon, &t.tm_mday,
                                 &t.tm_hour, &t.tm_min, &consumed, &t.tm_sec, &consumed);
  if (fields < 5 || static_cast<std::size_t>(consumed) != s.size())
    throw std::invalid_argument("a time must read like 2026-03-12 14:05:23: " + s);
  const SmsTime given{t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, 0};
  t.tm_year -= 1900;
  t.tm_mon -= 1;
  t.tm_isdst = -1;
  // mktime only supplies the zone; a date it would move (31 February) is refused later.
  std::tm normalised = t;
  if (std::mktime(&normalised) == -1) throw std::invalid_argument("not a time: " + s);
  SmsTime out = given;
  out.zoneQuarters = static_cast<int>(normalised.tm_gmtoff / (15 * 60));
  return out;
}

}  // namespace

SmsTime LocalSmsTime() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return FromTm(t);
}

MessageLine ParseMessageLine(std::string_view line) {
  MessageLine out;
  const std::size_t first = line.find(';');
  if (first == std::string_view::npos) throw std::invalid_argument("expected SENDER;TIME;TEXT or pdu;HEX");
  const std::string_view head = line.substr(0, first);
  if (head == "pdu" || head == "PDU") {
    out.raw = true;
    out.pdu = std::string(TrimSpaces(line.substr(first + 1)));
    return out;
  }
  const std::size_t second = line.find(';', first + 1);
  if (second == std::string_view::npos) throw std::invalid_argument("expected SENDER;TIME;TEXT or pdu;HEX");
  out.sms.sender = std::string(TrimSpaces(head));
  const std::string_view time = TrimSpaces(line.substr(first + 1, second - first - 1));
  out.sms.time = time.empty() ? LocalSmsTime() : ParseLocalTime(time);
  out.sms.text = std::string(line.substr(second + 1));
  return out;
}

std::vector<MessageLine> ReadMessageLines(const std::string& path) {
  const auto text = ReadWholeFile(path);
  if (!text) throw std::invalid_argument("cannot read " + path);
  std::vector<MessageLine> out;
  const TextLines lines = SplitLines(*text);
  for (std::size_t i = 0; i < lines.lines.size(); ++i) {
    const std::string_view line = lines.lines[i];
    if (TrimSpaces(line).empty() || TrimSpaces(line).front() == '#') continue;
    try {
      out.push_back(ParseMessageLine(line));
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument(path + ":" + std::to_string(i + 1) + ": " + e.what());
    }
  }
  return out;
}
