#include "server/modem/modem_lines.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "platform/ansi_case.h"
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

struct FinalResultRow {
  std::string_view text;
  bool prefix;  // the line only begins with it (a number or a word follows)
  ModemResult result;
};

// The V.250 results, the message service's and the equipment's errors, and the
// words some makers use for ERROR.
constexpr FinalResultRow kFinalResults[] = {
    {"OK", false, ModemResult::Ok},
    {"ERROR", false, ModemResult::Error},
    {"NO CARRIER", false, ModemResult::Error},
    {"BUSY", false, ModemResult::Error},
    {"NO ANSWER", false, ModemResult::Error},
    {"NO DIALTONE", false, ModemResult::Error},
    {"+CMS ERROR:", true, ModemResult::Error},
    {"+CME ERROR:", true, ModemResult::Error},
    {"COMMAND NOT SUPPORT", true, ModemResult::Error},
    {"TOO MANY PARAMETERS", true, ModemResult::Error},
};

constexpr std::string_view kStartUpLines[] = {"RDY", "+CFUN: 1", "+CPIN: READY", "SMS Ready", "Call Ready",
                                              "^SYSSTART"};

constexpr std::string_view kPduNotices[] = {"+CMT:", "+CDS:"};

}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AnsiEqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::optional<ModemResult> FinalResult(std::string_view line) {
  for (const FinalResultRow& row : kFinalResults)
    if (row.prefix ? StartsWithNoCase(line, row.text) : AnsiEqualNoCase(line, row.text)) return row.result;
  return std::nullopt;
}

bool StartUpLine(std::string_view line) {
  return std::any_of(std::begin(kStartUpLines), std::end(kStartUpLines),
                     [&](std::string_view start) { return AnsiEqualNoCase(line, start); });
}

bool PduNotice(std::string_view line) {
  return std::any_of(std::begin(kPduNotices), std::end(kPduNotices),
                     [&](std::string_view notice) { return StartsWithNoCase(line, notice); });
}

void ModemLines::Command(std::string_view command) {
  Discard();
  port_.PutString(command);
}

void ModemLines::Write(std::string_view bytes) { port_.PutString(bytes); }

void ModemLines::Discard() {
  port_.FlushInBuffer();
  begun_.clear();
  overlong_ = false;
}

ModemLines::Read ModemLines::NextLine(std::string& line, std::int32_t ticks, bool prompt, bool outlastsStop) {
  const auto stopped = [&] { return !outlastsStop && stop_.load(); };
  if (stopped()) return Read::CutShort;
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
  return end == weTimedOut && !stopped() ? Read::NoAnswer : Read::CutShort;
}

ModemReply ModemLines::Await(const ModemWait& wait) {
  ModemReply reply;
  EventTimer total;
  EventTimer quiet;
  NewTimer(total, wait.ticks);
  if (wait.quietTicks > 0) NewTimer(quiet, wait.quietTicks);
  const auto ended = [&](ModemResult result) {
    reply.result = result;
    reply.ticks = ElapsedTime(total);
    return reply;
  };
  bool noticePdu = false;  // the line before was a notice whose PDU line comes next
  for (;;) {
    if (TimerExpired(total) || (wait.quietTicks > 0 && TimerExpired(quiet))) return ended(ModemResult::NoAnswer);
    std::int32_t ticks = RemainingTime(total);
    if (wait.quietTicks > 0) ticks = std::min(ticks, RemainingTime(quiet));
    std::string line;
    switch (NextLine(line, ticks, wait.prompt, wait.outlastsStop)) {
      case Read::Line:
        break;
      case Read::Prompt:
        return ended(ModemResult::Prompt);
      case Read::NoAnswer:
        continue;  // the timers say whether it is over
      case Read::CutShort:
        return ended(ModemResult::CutShort);
    }
    if (line.empty()) continue;
    if (std::exchange(noticePdu, false) && IsHexLine(line)) continue;  // the notice's own PDU
    if (const std::optional<ModemResult> result = FinalResult(line)) return ended(*result);
    // A modem that began afresh has forgotten the command.
    if (StartUpLine(line)) return ended(ModemResult::Restarted);
    bool own = (!wait.awaited.empty() && StartsWithNoCase(line, wait.awaited)) || (wait.pduLines && IsHexLine(line));
    if (PduNotice(line)) {
      noticePdu = true;
      own = wait.pduLines;  // in its place, so that no line before it is paired with one after it
    }
    if (!own) continue;  // a notice, a vendor's status line, an echo: nothing asked for
    if (reply.lines.size() < kMaxLines) reply.lines.push_back(std::move(line));
    if (wait.quietTicks > 0) NewTimer(quiet, wait.quietTicks);
  }
}
