#include "platform/stderr_lines.h"

#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Lives as long as the process: the writer may still be stuck in a write when
// the program ends, and must not find its state gone.
struct Lines {
  std::mutex lock;
  std::condition_variable said;     // a line came
  std::condition_variable written;  // the writer emptied its queue
  std::deque<std::string> queue;
  std::size_t bytes = 0;
  std::size_t dropped = 0;           // in all
  std::size_t droppedUnsaid = 0;     // not said yet
  std::uint64_t saidCount = 0;       // lines queued in all
  std::uint64_t writtenCount = 0;    // lines the writer is done with
  bool sayingDropped = false;        // the writer is writing how many were dropped
  bool writerStarted = false;
};

Lines& State() {
  static Lines* lines = new Lines;
  return *lines;
}

void WriteAll(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else return;  // closed or failing: nobody reads it
  }
}

[[noreturn]] void Writer() {
  Lines& s = State();
  std::unique_lock guard(s.lock);
  for (;;) {
    s.said.wait(guard, [&] { return !s.queue.empty() || s.droppedUnsaid != 0; });
    std::string text;
    const bool queued = !s.queue.empty();
    if (queued) {
      text = std::move(s.queue.front());
      s.queue.pop_front();
      s.bytes -= text.size();
    } else {
      // Said where the lines that could not be held would have been.
      text = "trelmsrv: " + std::to_string(s.droppedUnsaid) +
             " lines for standard error were dropped while it was held up\n";
      s.droppedUnsaid = 0;
      s.sayingDropped = true;
    }
    guard.unlock();
    WriteAll(text);
    guard.lock();
    if (queued) ++s.writtenCount;
    s.sayingDropped = false;
    s.written.notify_all();
  }
}

void Queue(std::string text) {
  Lines& s = State();
  std::lock_guard guard(s.lock);
  if (s.queue.size() >= kHeldStderrLines || s.bytes + text.size() > kHeldStderrBytes) {
    ++s.dropped;
    ++s.droppedUnsaid;
    s.said.notify_one();
    return;
  }
  if (!s.writerStarted) {
    std::thread(Writer).detach();  // uses only the state above, which never goes
    s.writerStarted = true;
  }
  s.bytes += text.size();
  s.queue.push_back(std::move(text));
  ++s.saidCount;
  s.said.notify_one();
}

}  // namespace

void StderrPrintf(const char* format, ...) {
  try {
    char small[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) return;
    std::string text;
    if (static_cast<std::size_t>(n) < sizeof small) {
      text.assign(small, static_cast<std::size_t>(n));
    } else {
      text.resize(static_cast<std::size_t>(n) + 1);
      va_start(args, format);
      std::vsnprintf(text.data(), text.size(), format, args);
      va_end(args);
      text.pop_back();
    }
    Queue(std::move(text));
  } catch (const std::exception&) {
    // No memory or no thread for the line: it is dropped like one that does not fit.
    Lines& s = State();
    std::lock_guard guard(s.lock);
    ++s.dropped;
  }
}

bool FlushStderrLines(std::chrono::milliseconds limit) {
  Lines& s = State();
  std::unique_lock guard(s.lock);
  const std::uint64_t target = s.saidCount;
  return s.written.wait_for(guard, limit, [&] {
    return s.writtenCount >= target && s.droppedUnsaid == 0 && !s.sayingDropped;
  });
}

std::size_t DroppedStderrLines() {
  Lines& s = State();
  std::lock_guard guard(s.lock);
  return s.dropped;
}
