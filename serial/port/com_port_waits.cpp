// The port component's waits for expected input. A wait takes the input while
// it lasts and blocks whenever none is there: until a byte arrives, the timer
// runs out, the port closes, the program ends or, with Yield, a message comes
// for the calling thread.
#include <algorithm>
#include <vector>

#include "platform/application.h"
#include "serial/base/result_codes.h"
#include "serial/base/time_base.h"
#include "serial/port/com_port.h"
#include "serial/port/com_port_use.h"

namespace {

// Only a to z change case; every other byte stays as it is.
char Fold(char c, bool ignoreCase) {
  return ignoreCase && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// No thread of the dispatcher is left to bring more input.
bool InputEnded(TDevaBaseDispatcher& d) { return d.KillThreads && d.ActiveThreads == 0; }

// A wait's hold of the busy flag, which keeps the dispatch thread's triggers
// off the input. However the wait ends, the flag is left as it was before the
// wait (or before PrepareWait), and the prepared state ends.
class BusyHold {
 public:
  BusyHold(std::atomic<bool>& prepared, std::atomic<bool>& busyBeforePrepare)
      : prepared_(prepared), busyBeforePrepare_(busyBeforePrepare) {}
  ~BusyHold() {
    if (d_) {
      const bool lower = prepared_ ? !busyBeforePrepare_ || !wasOn_ : !wasOn_;
      if (lower) d_->SetEventBusy(wasOn_, false);
    } else if (held_ && prepared_ && !busyBeforePrepare_) {
      held_->SetEventBusy(wasOn_, false);  // a wait that ended before it began
    }
    prepared_ = false;
    busyBeforePrepare_ = false;
  }
  BusyHold(const BusyHold&) = delete;
  BusyHold& operator=(const BusyHold&) = delete;

  // The dispatcher as the wait found it, for an early end.
  void Found(TDevaBaseDispatcher* d) { held_ = d; }
  void Raise(TDevaBaseDispatcher& d) {
    d.SetEventBusy(wasOn_, true);
    d_ = &d;
  }

 private:
  std::atomic<bool>& prepared_;
  std::atomic<bool>& busyBeforePrepare_;
  TDevaBaseDispatcher* held_ = nullptr;
  TDevaBaseDispatcher* d_ = nullptr;
  bool wasOn_ = false;
};

// Wakes the waiting thread for each input of the dispatcher and at the program's end.
class WaitWakes {
 public:
  explicit WaitWakes(TDevaBaseDispatcher& d) : d_(d) {
    const MessageWaitWake wake = CallingThreadWake();
    input_ = d_.AddInputWake(wake);
    terminate_ = Application().AddTerminateWake(wake);
  }
  ~WaitWakes() {
    Application().RemoveTerminateWake(terminate_);
    d_.RemoveInputWake(input_);
  }
  WaitWakes(const WaitWakes&) = delete;
  WaitWakes& operator=(const WaitWakes&) = delete;

 private:
  TDevaBaseDispatcher& d_;
  int input_;
  int terminate_;
};

}  // namespace

std::int32_t TDevaCustomComPort::WaitForInput(const WaitStep& Step, std::int32_t Timeout, bool Yield,
                                              TWaitEnd& End) {
  return WaitFor(Step, Timeout, Yield, &End);
}

std::int32_t TDevaCustomComPort::WaitFor(const WaitStep& Step, std::int32_t Timeout, bool Yield, TWaitEnd* End) {
  TWaitEnd ignored = weFound;
  TWaitEnd& end = End != nullptr ? *End : ignored;
  end = wePortClosed;
  const bool closing = ShuttingDown();
  PortUse use(*this);
  BusyHold busy(WaitPrepared, BusyBeforePrepare);
  // Closing, the prepared state only ends: the flag goes with the dispatcher.
  if (closing || !use || PortState_ == psShuttingDown) return 0;
  busy.Found(Dispatcher_);
  end = weFound;
  if (!Step) return 1;
  TDevaBaseDispatcher& d = ValidDispatcher();
  busy.Raise(d);
  const WaitWakes wakes(d);
  EventTimer timer;
  NewTimer(timer, Timeout);
  std::int32_t found = 0;
  for (;;) {
    bool took = false;
    if (d.CharReady()) {
      char c = 0;
      // Another reader may have taken it meanwhile: the pass goes on.
      if (d.GetChar(c) == 0) {
        took = true;
        WaitChar(c);
        found = Step(c);
      }
    }
    // A text seen is seen, even in the tick in which the time runs out.
    if (found != 0) break;
    if (TimerExpired(timer)) {
      end = weTimedOut;
      break;
    }
    if (Yield) Application().ProcessMessages();
    // Read before looking at what ends the wait: what comes after it wakes the block below.
    const std::uint64_t seen = took ? 0 : ThreadWakeCount();
    if (Application().Terminated()) {
      end = weTerminated;
      break;
    }
    if (PortState_ != psOpen) {
      end = wePortClosed;
      break;
    }
    if (took || d.CharReady()) continue;
    if (InputEnded(d)) {
      end = wePortClosed;
      break;
    }
    AdPassTime(MSecsToExpiry(timer),
               [&](std::chrono::milliseconds ms) { return WaitThreadWake(seen, ms, Yield); });
  }
  return found;
}

bool TDevaCustomComPort::WaitForString(std::string_view S, std::int32_t Timeout, bool Yield, bool IgnoreCase) {
  if (S.empty()) return WaitFor(nullptr, Timeout, Yield) == 1;
  // A mismatch keeps only a match of the first character: a restart, not a search.
  const char first = Fold(S[0], IgnoreCase);
  std::size_t matched = 0;
  return WaitFor(
             [&](char c) -> std::int32_t {
               c = Fold(c, IgnoreCase);
               if (c == Fold(S[matched], IgnoreCase)) return ++matched == S.size() ? 1 : 0;
               matched = c == first ? 1 : 0;
               return 0;
             },
             Timeout, Yield) == 1;
}

std::int32_t TDevaCustomComPort::WaitForMultiString(std::string_view S, std::int32_t Timeout, bool Yield,
                                                    bool IgnoreCase, char SepChar) {
  if (S.empty()) {
    WaitFor(nullptr, Timeout, Yield);  // ends a prepared wait all the same
    return 0;
  }
  // At most 127 texts: the last one then runs to the end of S. A separator at
  // the very end adds no empty text.
  constexpr std::size_t kMaxTexts = 127;
  struct Text {
    std::size_t start, end, pos;  // [start, end); pos: the next character expected
  };
  std::vector<Text> texts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < S.size() && texts.size() + 1 < kMaxTexts; ++i) {
    if (S[i] != SepChar) continue;
    texts.push_back({start, i, start});
    start = i + 1;
  }
  if (S.back() != SepChar) texts.push_back({start, S.size(), start});
  return WaitFor(
      [&](char c) -> std::int32_t {
        c = Fold(c, IgnoreCase);
        for (std::size_t n = 0; n < texts.size(); ++n) {
          Text& t = texts[n];
          if (t.start == t.end) continue;  // an empty text never matches
          if (c == Fold(S[t.pos], IgnoreCase)) {
            if (++t.pos == t.end) return static_cast<std::int32_t>(n + 1);
          } else {
            t.pos = c == Fold(S[t.start], IgnoreCase) ? t.start + 1 : t.start;
          }
        }
        return 0;
      },
      Timeout, Yield);
}

bool TDevaCustomComPort::CheckForString(std::size_t& Index, char C, std::string_view S, bool IgnoreCase) {
  if (PortState_ == psShuttingDown) return false;
  if (S.empty() || Index >= S.size()) {  // nothing to match, or a position from elsewhere
    Index = 0;
    return false;
  }
  C = Fold(C, IgnoreCase);
  if (C == Fold(S[Index], IgnoreCase)) {
    if (++Index < S.size()) return false;
    Index = 0;
    return true;
  }
  Index = C == Fold(S[0], IgnoreCase) ? 1 : 0;
  return false;
}

void TDevaCustomComPort::PrepareWait() {
  Use(0, [&](TDevaBaseDispatcher& d) {
    bool wasOn;
    d.SetEventBusy(wasOn, true);
    // Prepared twice, the flag is still restored to what it was before the first.
    if (!WaitPrepared.exchange(true)) BusyBeforePrepare = wasOn;
    return 0;
  });
}
