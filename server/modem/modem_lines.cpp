#include "server/modem/modem_lines.h"

#include <algorithm>

#include "serial/base/time_base.h"
#include "serial/port/com_port.h"

namespace {

// What the port's wait answers for the byte that ends its wait.
constexpr std::int32_t kLineEnded = 1;
constexpr std::int32_t kPromptCame = 2;

// Bytes no answer is made of: control characters other than the line ends, and 0xFF.
bool IsNoise(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b < 0x20 && c != '\r' && c != '\n') || b == 0xFF;
}

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  return line;
}

bool IsHexLine(std::string_view line) {
  return !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  });
}

}  // namespace

ModemResult FinalResult(std::string_view line) {
  if (line == "OK") return ModemResult::Ok;
  if (line == "ERROR" || line.starts_with("+CMS ERROR:") || line.starts_with("+CME ERROR:")) return ModemResult::Error;
  return ModemResult::NoAnswer;
}

void ModemLines::Command(std::string_view command, int answers) {
  Settle();
  Discard();
  port_.PutString(command);
  owed_ = answers;
}

void ModemLines::Write(std::string_view bytes) { port_.PutString(bytes); }

void ModemLines::Reset() {
  owed_ = 0;
  Discard();
}

void ModemLines::Discard() {
  port_.FlushInBuffer();
  begun_.clear();
  overlong_ = false;
}

void ModemLines::Settle() {
  EventTimer total;
  EventTimer quiet;
  NewTimer(total, limits_.reply);
  NewTimer(quiet, limits_.owedQuiet);
  while (owed_ > 0 && !TimerExpired(total) && !TimerExpired(quiet)) {
    std::string line;
    const Read read = NextLine(line, std::min(RemainingTime(total), RemainingTime(quiet)), false);
    if (read == Read::CutShort) break;
    if (read != Read::Line || FinalResult(line) == ModemResult::NoAnswer) continue;
    --owed_;
    NewTimer(quiet, limits_.owedQuiet);  // the next one may follow as closely
  }
  owed_ = 0;  // not coming: what came of it is thrown away with the rest
}

ModemLines::Read ModemLines::NextLine(std::string& line, std::int32_t ticks, bool prompt) {
  if (stop_.load()) return Read::CutShort;
  TWaitEnd end = weFound;
  const std::int32_t found = port_.WaitForInput(
      [&](char c) -> std::int32_t {
        if (IsNoise(c)) return 0;
        if (c == '\r' || c == '\n') return begun_.empty() && !overlong_ ? 0 : kLineEnded;
        if (begun_.size() < kMaxLine)
          begun_ += c;
        else
          overlong_ = true;
        return prompt && Trimmed(begun_) == ">" ? kPromptCame : 0;
      },
      ticks, false, end);
  if (found == kLineEnded) {
    line = overlong_ ? std::string() : std::string(Trimmed(begun_));  // an endless line is no answer
    begun_.clear();
    overlong_ = false;
    return Read::Line;
  }
  if (found == kPromptCame) {
    begun_.clear();
    return Read::Prompt;
  }
  return end == weTimedOut && !stop_.load() ? Read::NoAnswer : Read::CutShort;
}

ModemReply ModemLines::Await(const ModemWait& wait) {
  ModemReply reply;
  EventTimer total;
  EventTimer quiet;
  NewTimer(total, wait.ticks);
  if (wait.quietTicks > 0) NewTimer(quiet, wait.quietTicks);
  for (;;) {
    if (TimerExpired(total) || (wait.quietTicks > 0 && TimerExpired(quiet))) {
      reply.result = ModemResult::NoAnswer;
      return reply;
    }
    std::int32_t ticks = RemainingTime(total);
    if (wait.quietTicks > 0) ticks = std::min(ticks, RemainingTime(quiet));
    std::string line;
    switch (NextLine(line, ticks, wait.prompt)) {
      case Read::Line:
        break;
      case Read::Prompt:
        reply.result = ModemResult::Prompt;
        return reply;
      case Read::NoAnswer:
        continue;  // the timers say whether it is over
      case Read::CutShort:
        reply.result = ModemResult::CutShort;
        return reply;
    }
    if (line.empty()) continue;
    if (const ModemResult result = FinalResult(line); result != ModemResult::NoAnswer) {
      if (owed_ > 0) --owed_;
      reply.result = result;
      return reply;
    }
    const bool own =
        (!wait.awaited.empty() && line.starts_with(wait.awaited)) || (wait.pduLines && IsHexLine(line));
    if (!own) continue;  // a notice, a vendor's status line, an echo: nothing asked for
    if (reply.lines.size() < kMaxLines) reply.lines.push_back(std::move(line));
    if (wait.quietTicks > 0) NewTimer(quiet, wait.quietTicks);
  }
}
