#pragma once
// The modem's answers as whole lines, each command paired with its own answer.
//
// A real modem is noisy: vendor status lines ("^RSSI:12") and notices ("+CMTI",
// "RING") at any point, NUL or 0xFF bytes before and glued to answers, a final
// result that belongs to no command. So noise bytes are removed before a line is
// looked at; a line is either the awaited answer, a final result ("OK", "ERROR",
// "+CMS ERROR: n", "+CME ERROR: n") or skipped; and what the modem said before a
// command is thrown away when the command is written, so that no stale answer is
// taken for it. The prompt is ">" at the start of a line.
//
// A command may owe more than one final result (the two "AT"s of the modem
// check, one of which a modem waking up may miss): the reader takes the answers
// still owed before the next command, for a short while after the last came.
//
// Every wait is bounded in total and blocks on the port's input; nothing polls.
// No line and no answer grows without bound.
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/modem/modem_limits.h"

class TDevaCustomComPort;

enum class ModemResult {
  Ok,
  Error,     // ERROR, +CMS ERROR or +CME ERROR
  Prompt,    // ">": the modem takes a PDU
  NoAnswer,  // the time ran out
  CutShort,  // the worker stops, the port closed or hung up, the program ends
};

struct ModemReply {
  ModemResult result = ModemResult::NoAnswer;
  // The answer's own lines in order: those that start with the awaited prefix
  // and, when asked for, lines of hexadecimal digits (a listing's PDUs).
  std::vector<std::string> lines;
};

// What one wait takes and how long it may last, in ticks of 55 ms.
struct ModemWait {
  std::string_view awaited = {};  // prefix of the answer's own lines ("+CMGS:"); none: only the final result
  int ticks = 100;           // the whole wait
  int quietTicks = 0;        // also ends when none of the answer's lines came for this long; 0: no such end
  bool prompt = false;       // the prompt ends it too
  bool pduLines = false;     // lines of hexadecimal digits are the answer's too
};

class ModemLines {
 public:
  // The longest line kept; the rest of a longer one is dropped, and the line skipped.
  static constexpr std::size_t kMaxLine = 1024;
  // The most lines one answer keeps (a SIM's listing is far shorter).
  static constexpr std::size_t kMaxLines = 1024;

  // Answers still owed are taken for limits.owedQuiet after the last came, and
  // for limits.reply at the most.
  ModemLines(TDevaCustomComPort& port, const std::atomic<bool>& stop, const ModemLimits& limits)
      : port_(port), stop_(stop), limits_(limits) {}

  // Takes what earlier commands still owe, throws away all else the modem has
  // said, then writes `command`, which owes `answers` final results.
  void Command(std::string_view command, int answers = 1);
  // Writes what the modem's prompt asked for; it owes nothing of its own.
  void Write(std::string_view bytes);

  // Reads up to the next final result (or the prompt, when asked for).
  ModemReply Await(const ModemWait& wait);

  // The port was opened afresh: nothing is owed, and what it holds answers nothing.
  void Reset();

 private:
  enum class Read { Line, Prompt, NoAnswer, CutShort };
  // The next whole line into `line` (noise removed, blanks trimmed), or the
  // prompt when `prompt`, within `ticks`.
  Read NextLine(std::string& line, std::int32_t ticks, bool prompt);
  // Takes the answers still owed, for as long as they keep coming.
  void Settle();
  void Discard();

  TDevaCustomComPort& port_;
  const std::atomic<bool>& stop_;
  const ModemLimits limits_;
  std::string begun_;     // the line being received, without its noise bytes
  bool overlong_ = false;  // begun_ lost bytes past kMaxLine
  int owed_ = 0;
};

// A final result: the line's result, or NoAnswer for any other line.
ModemResult FinalResult(std::string_view line);
