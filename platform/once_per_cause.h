#pragma once
// A line on standard error said once per cause. A cause that lasts (a file that
// cannot be read, a port that cannot be opened) meets every try, and saying it at
// each would bury the log; it is said when it is new, and said again only when
// another cause took its place or it went away and came back.
#include <mutex>
#include <string>

class OncePerCause {
 public:
  // Writes the line, with its end, unless it is the one said last.
  void Say(const std::string& line);
  // The cause went away: the next line is news, whatever it says.
  void Clear();

 private:
  std::mutex lock_;
  std::string last_;  // guarded by lock_
};
