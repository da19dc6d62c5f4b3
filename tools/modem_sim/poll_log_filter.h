#pragma once
// What of the simulator's log a person reads: every entry, except the server's
// idle looks at the SIM. A server that reads the SIM every few seconds would
// otherwise fill the terminal with its modem check and an empty listing, and
// bury what matters. The first such poll is shown whole; later ones are only
// counted, and the count is shown before the next entry that is. Every send,
// every received message, every error and everything else is shown in full,
// with the check that came before it.
#include <string>
#include <string_view>
#include <vector>

class PollLogFilter {
 public:
  // Takes one entry of the log, made at the time `stamp`; gives the lines to
  // write now ("<stamp> <entry>"), in order.
  std::vector<std::string> Take(const std::string& stamp, std::string_view entry);
  // The lines still held, at the end of the run.
  std::vector<std::string> Finish();

 private:
  // Moves the count of polls not shown and the lines held into `out`.
  void Release(std::vector<std::string>& out);

  std::vector<std::string> held_;  // a poll so far, while it may yet be an idle one
  std::string command_;            // the last command given
  bool inFull_ = false;            // the answers to this command are shown in full
  bool idleShown_ = false;
  int idleNotShown_ = 0;
  std::string lastIdleEnd_;  // the stamp of the last poll not shown
};
