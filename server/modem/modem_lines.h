#pragma once
// The modem's answers as whole lines, each command paired with its own answer.
//
// A real modem is noisy: vendor status lines ("^RSSI:12") and notices ("+CMTI",
// "RING") at any point, NUL or 0xFF bytes before and glued to answers, a final
// result that belongs to no command, answers in either letter case. So noise
// bytes are removed before a line is looked at; a line is the awaited answer, a
// final result, a start-up line of a modem that began afresh, or skipped; a
// notice that carries a PDU ("+CMT:", "+CDS:") is skipped with its PDU line; and
// what the modem said before a command is thrown away when the command is
// written, so that no stale answer is taken for it. The prompt is ">" at the
// start of a line. Answers, final results and the prompt compare without case.
//
// Every wait is bounded in total and blocks on the port's input; nothing polls.
// No line and no answer grows without bound.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/modem/modem_limits.h"

class TDevaCustomComPort;

enum class ModemResult {
  Ok,
  Error,      // any other final result: ERROR, +CMS ERROR, +CME ERROR, a maker's word for it, a call's result
  Prompt,     // ">": the modem takes a PDU
  Restarted,  // the modem began afresh ("RDY", "SMS Ready"): it will not answer what it was given
  NoAnswer,   // the time ran out
  CutShort,   // the worker stops, the port closed or hung up, the program ends
};

struct ModemReply {
  ModemResult result = ModemResult::NoAnswer;
  // The answer's own lines in order: those that start with the awaited prefix
  // and, when asked for, lines of hexadecimal digits (a listing's PDUs), with
  // each notice that carried a PDU in its place (its PDU line left out), so that
  // nothing is paired across it.
  std::vector<std::string> lines;
  std::int32_t ticks = 0;  // how long the wait lasted
};

// What one wait takes and how long it may last, in ticks of 55 ms.
struct ModemWait {
  std::string_view awaited = {};  // prefix of the answer's own lines ("+CMGS:"); none: only the final result
  int ticks = 100;           // the whole wait
  int quietTicks = 0;        // also ends when none of the answer's lines came for this long; 0: no such end
  bool prompt = false;       // the prompt ends it too
  bool pduLines = false;     // lines of hexadecimal digits are the answer's too
  bool outlastsStop = false;  // the worker's stop does not end it; the port's close does
};

class ModemLines {
 public:
  // The longest line kept; the rest of a longer one is dropped, and the line skipped.
  static constexpr std::size_t kMaxLine = 1024;
  // The most lines one answer keeps (a SIM's listing is far shorter).
  static constexpr std::size_t kMaxLines = 1024;

  ModemLines(TDevaCustomComPort& port, const std::atomic<bool>& stop) : port_(port), stop_(stop) {}

  // Throws away all the modem has said, then writes `command`.
  void Command(std::string_view command);
  // Writes what the modem's prompt asked for.
  void Write(std::string_view bytes);

  // Reads up to the next final result (or the prompt, when asked for).
  ModemReply Await(const ModemWait& wait);

  // The port was opened afresh: what it holds answers nothing asked now.
  void Reset() { Discard(); }

 private:
  enum class Read { Line, Prompt, NoAnswer, CutShort };
  // The next whole line into `line` (noise removed, blanks trimmed), or the
  // prompt when `prompt`, within `ticks`.
  Read NextLine(std::string& line, std::int32_t ticks, bool prompt, bool outlastsStop);
  void Discard();

  TDevaCustomComPort& port_;
  const std::atomic<bool>& stop_;
  std::string begun_;     // the line being received, without its noise bytes
  bool overlong_ = false;  // begun_ lost bytes past kMaxLine
};

// `text` begins with `prefix`, letter case aside.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The final result a line is; none for any other line.
std::optional<ModemResult> FinalResult(std::string_view line);
// A line a modem says as it starts ("RDY", "+CPIN: READY", "SMS Ready"). Not
// "^BOOT", which some modems repeat as a status line.
bool StartUpLine(std::string_view line);
// A notice whose PDU comes on the next line: a message delivered straight to the
// computer ("+CMT:") or a status report ("+CDS:").
bool PduNotice(std::string_view line);
