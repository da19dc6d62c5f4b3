#pragma once
// The file beside a queue file that says what became of its records since the
// queue file was last written whole: inbox.db.done beside inbox.db. The queue file
// only grows while the server runs (a hand-in, a message read from the SIM), so
// what leaves the queue, or goes to its back, is written here instead of into it.
//
// A sequence of 24-byte entries, each checked on its own: a torn or damaged entry
// is passed over, never taken for another. Records are named by their place in
// the queue file (0 for the first).
//   Done(r)         record r left the queue (sent, fetched, set aside).
//   Moved(r, k)     record r went to the back of the queue when the file held k
//                   records: it now stands just before record k, after the
//                   records moved there before it.
//   Rewritten(m, h) the queue file is about to be replaced by one of m records
//                   whose digest is h. Once that file is in place, every entry
//                   before this one belongs to the old file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr std::size_t kLogEntrySize = 24;

enum class LogKind : std::uint8_t { Done = 1, Moved = 2, Rewritten = 3 };

struct LogEntry {
  LogKind kind = LogKind::Done;
  std::uint64_t a = 0;  // the record, or the new file's record count
  std::uint64_t b = 0;  // where a moved record stands, or the new file's digest

  bool operator==(const LogEntry&) const = default;
};

inline LogEntry DoneEntry(std::uint64_t record) { return {LogKind::Done, record, 0}; }
inline LogEntry MovedEntry(std::uint64_t record, std::uint64_t before) { return {LogKind::Moved, record, before}; }
inline LogEntry RewrittenEntry(std::uint64_t records, std::uint64_t digest) {
  return {LogKind::Rewritten, records, digest};
}

std::array<std::uint8_t, kLogEntrySize> EncodeLogEntry(const LogEntry& e);
// Nothing when the bytes are no entry (torn, damaged, zeros).
std::optional<LogEntry> DecodeLogEntry(std::span<const std::uint8_t, kLogEntrySize> bytes);

// inbox.db.done beside inbox.db.
std::string StoreLogFile(const std::string& queuePath);

// What a log file holds: its sound entries in order, and whether anything in it
// was not one (a torn tail, a damaged entry).
struct StoreLogRead {
  std::vector<LogEntry> entries;
  bool damaged = false;
  std::uint64_t bytes = 0;  // the file's size
};

enum class QueueFileLoad;

// Reads the log file. Missing gives no entries; otherwise as OpenStoredFile.
QueueFileLoad ReadStoreLog(const std::string& path, StoreLogRead& out);

// The digest of a queue file's records, for Rewritten: it tells the file a
// rewrite wrote from the one it was to replace.
class RecordDigest {
 public:
  void Add(std::span<const std::uint8_t> record);
  std::uint64_t Value() const { return value_; }

 private:
  std::uint64_t value_ = 0xcbf29ce484222325ULL;
};
