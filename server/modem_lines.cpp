#include "server/modem_lines.h"

#include <algorithm>
#include <chrono>

#include "serial/base/time_base.h"
#include "serial/port/com_port.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kTick{kTickMs};
// How long a modem that still owes an answer may say nothing before the answer
// counts as not coming: well beyond the pause between two bytes of a slow modem.
constexpr Clock::duration kQuiet = 10 * kTick;

// Collects every byte the port's waits take while it lives.
class WaitedBytes {
 public:
  WaitedBytes(TDevaCustomComPort& port, std::string& bytes) : port_(port) {
    port_.OnWaitChar = [&bytes](TDevaCustomComPort*, char c) { bytes += c; };
  }
  ~WaitedBytes() { port_.OnWaitChar = nullptr; }
  WaitedBytes(const WaitedBytes&) = delete;
  WaitedBytes& operator=(const WaitedBytes&) = delete;

 private:
  TDevaCustomComPort& port_;
};

// A line without the carriage returns that frame it.
std::string_view Bare(std::string_view line) {
  while (!line.empty() && (line.front() == '\r' || line.front() == '\n')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

Clock::time_point Deadline(int ticks) {
  return ticks == ModemLines::kNoLimit ? Clock::time_point::max() : Clock::now() + ticks * kTick;
}

}  // namespace

ModemResult FinalResult(std::string_view line) {
  if (line == "OK") return ModemResult::Ok;
  if (line == "ERROR" || line.starts_with("+CMS ERROR:") || line.starts_with("+CME ERROR:")) return ModemResult::Error;
  return ModemResult::NoAnswer;
}

void ModemLines::Command(std::string_view command, int answers) {
  Settle();
  port_.PutString(command);
  owed_ = answers;
}

void ModemLines::Write(std::string_view bytes) { port_.PutString(bytes); }

void ModemLines::Flush() {
  Settle();
  port_.FlushInBuffer();
  begun_.clear();
}

void ModemLines::Reset() {
  begun_.clear();
  owed_ = 0;
}

void ModemLines::Settle() {
  while (owed_ > 0) {
    std::string line;
    Clock::time_point deadline = Clock::now() + kQuiet;
    if (NextLine(line, deadline, true, false) != Read::Line) {
      // Not coming: a part of it that came is no line of the next answer.
      owed_ = 0;
      begun_.clear();
      return;
    }
    if (FinalResult(line) != ModemResult::NoAnswer) --owed_;
  }
}

ModemLines::Read ModemLines::NextLine(std::string& line, Clock::time_point& deadline, bool quiet, bool prompt) {
  const WaitedBytes collect(port_, begun_);
  for (;;) {
    const auto begun = Clock::now();
    if (begun >= deadline) return Read::NoAnswer;
    const std::int32_t ticks =
        deadline == Clock::time_point::max()
            ? kMaxTimerTicks
            : static_cast<std::int32_t>(std::min<Clock::rep>((deadline - begun + kTick - Clock::duration(1)) / kTick,
                                                             kMaxTimerTicks));
    const std::size_t had = begun_.size();
    const std::int32_t found = port_.WaitForMultiString("\n|> ", ticks, false, false, '|');
    if (found == 1) {
      line = Bare(begun_);
      begun_.clear();
      return Read::Line;
    }
    if (found == 2) {
      if (prompt && Bare(begun_) == "> ") {
        begun_.clear();
        return Read::Prompt;
      }
      continue;  // a "> " inside a line
    }
    // A wait that ran out lasted its ticks; one that ended well before was cut short.
    if (stop_.load() || Clock::now() - begun < ticks * kTick / 2) return Read::CutShort;
    if (quiet && begun_.size() > had) deadline = Clock::now() + kQuiet;  // still talking
  }
}

ModemReply ModemLines::Await(std::string_view awaited, int ticks, bool prompt) {
  ModemReply reply;
  Clock::time_point deadline = Deadline(ticks);
  bool answered = false;
  for (;;) {
    std::string line;
    switch (NextLine(line, deadline, false, prompt)) {
      case Read::Line:
        break;
      case Read::Prompt:
        reply.result = ModemResult::Prompt;
        return reply;
      case Read::NoAnswer:
        reply.result = ModemResult::NoAnswer;
        return reply;
      case Read::CutShort:
        reply.result = ModemResult::CutShort;
        return reply;
    }
    if (line.empty() || line == "RING") continue;
    if (const ModemResult result = FinalResult(line); result != ModemResult::NoAnswer) {
      if (owed_ > 0) --owed_;
      reply.result = result;
      reply.final = std::move(line);
      return reply;
    }
    if (line.starts_with('+')) {
      if (!awaited.empty() && line.starts_with(awaited)) {
        answered = true;
        reply.lines.push_back(std::move(line));
      } else if (line.starts_with("+CMTI") && !answered) {
        reply.noticeFirst = true;
      }
      continue;  // a notice, or a "+" line that answers nothing asked
    }
    reply.lines.push_back(std::move(line));
  }
}
