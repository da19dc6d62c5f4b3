#pragma once
// The modem's answers as whole lines, each command paired with its own answer.
//
// Every command owes one final result ("OK", "ERROR", "+CMS ERROR: n", "+CME
// ERROR: n"). An answer that was not awaited to its end (a wait ran out, or a
// modem waking up answers one of two commands or both) is still owed: before the
// next command the reader takes what is owed, for as long as the modem goes on
// saying something, so a late answer is thrown away and never taken for the
// next command's. Lines the modem sends of its own accord ("RING", "+CMTI:", any
// "+" line that is not the answer awaited) are skipped wherever they fall.
//
// Reads through the port's waits: it blocks while nothing comes, never polls.
#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

class TDevaCustomComPort;

enum class ModemResult {
  Ok,
  Error,     // ERROR, +CMS ERROR or +CME ERROR
  Prompt,    // "> ": the modem takes a PDU
  NoAnswer,  // the time ran out
  CutShort,  // the worker stops, the port closed or hung up, the program ends
};

struct ModemReply {
  ModemResult result = ModemResult::NoAnswer;
  std::string final;  // the final result line as the modem gave it
  // The answer's lines in order: those that start with the awaited prefix and
  // those that start with no "+" (a listing's PDUs); no empty ones.
  std::vector<std::string> lines;
  // A "+CMTI" notice came before the first line with the awaited prefix.
  bool noticeFirst = false;
};

class ModemLines {
 public:
  // Waits that take no time limit.
  static constexpr int kNoLimit = 0;

  ModemLines(TDevaCustomComPort& port, const std::atomic<bool>& stop) : port_(port), stop_(stop) {}

  // Takes what earlier commands still owe, then writes `command`, which owes
  // `answers` final results (a modem may miss one of several commands at once).
  void Command(std::string_view command, int answers = 1);
  // Writes what the modem's prompt asked for; it owes nothing of its own.
  void Write(std::string_view bytes);

  // Reads up to the next final result owed (or the prompt, when `prompt`), for
  // `ticks` of 55 ms or with no limit. `awaited` is the prefix of the answer's
  // own "+" lines ("+CMGS:", "+CMGL: "); other "+" lines are skipped.
  ModemReply Await(std::string_view awaited, int ticks, bool prompt = false);

  // Throws away what has come and is not read yet (nothing is owed any more).
  void Flush();
  // The port was opened afresh: nothing is owed, no line is begun.
  void Reset();

 private:
  enum class Read { Line, Prompt, NoAnswer, CutShort };
  // The next whole line into `line`, or the prompt when `prompt`, before
  // `deadline`; with `quiet`, every byte that comes moves the deadline on.
  Read NextLine(std::string& line, std::chrono::steady_clock::time_point& deadline, bool quiet, bool prompt);
  // Takes the answers still owed, until the modem falls quiet.
  void Settle();

  TDevaCustomComPort& port_;
  const std::atomic<bool>& stop_;
  std::string begun_;  // the line being received
  int owed_ = 0;
};

// A final result: the line's result, or NoAnswer for any other line.
ModemResult FinalResult(std::string_view line);
