#pragma once
// The message store in files, beside the program: the queue file (inbox.db or
// outbox.db, packet records that only grow while the server runs), its log
// (inbox.db.done: what became of those records) and its set-aside file.
//
// Changes are written by a thread of the store's own, in batches: whatever has
// come since the last batch is written and flushed to disk at once, so a record is
// on disk a moment after it came (one flush's time, far under 100 ms on any disk
// that is not failing) while thousands a second share the flushes. A batch that
// cannot be written stays in memory and is tried again every second.
//
// The queue file is written anew (aside, flushed, renamed) when most of its
// records have left the queue, and at the close. The log is told first, with the
// new file's size and digest, so that a crash at any step leaves files from which
// the next start reads the queue exactly: the old file with its log, or the new
// one, to which no entry before that point applies.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_io.h"
#include "server/store/message_store.h"
#include "server/store/record_places.h"
#include "server/store/set_aside.h"
#include "server/store/store_log.h"

class FileMessageStore final : public MessageStore {
 public:
  // queuePath: the queue file; toSend: its numbers must be ones the modem can take.
  FileMessageStore(std::string queuePath, bool toSend);
  ~FileMessageStore() override;  // writes what is pending, then stops its thread
  FileMessageStore(const FileMessageStore&) = delete;
  FileMessageStore& operator=(const FileMessageStore&) = delete;

  QueueFileLoad Load(PacketQueue& queue, QueueFileRejects& rejects, StoreFault& fault) override;
  bool Open(StoreFault& fault) override;
  void Abandon() override;
  RecordId Append(const packet& p) override;
  void Acknowledge(RecordId id) override;
  void MoveToBack(RecordId id) override;
  bool Flush() override;
  bool Compact(std::string& failedEntry) override;

  // A queue file is written anew once at least this many of its records have left
  // the queue and they are the most of it.
  static constexpr std::uint64_t kRewriteFrom = 1024;

 private:
  using Clock = std::chrono::steady_clock;

  void Run();
  void Wake();
  bool Pending() const { return !records_.empty() || !writing_.empty() || !entries_.empty(); }
  // Writes and flushes what is pending, the lock let go meanwhile. False when it
  // could not (it stays pending).
  bool WriteBatch(std::unique_lock<std::mutex>& lock);
  bool WorthRewriting() const;
  // Writes the queue file anew with exactly the queue, and removes the log. The
  // lock is held throughout. False, with errno set and `inTheWay` naming what
  // stopped it, when it could not.
  bool Rewrite(std::string& inTheWay);
  bool WriteRewrittenFile(const std::vector<RecordId>& order, FileWrittenAside& aside, std::uint64_t& digest);
  bool RewriteLog(const std::vector<LogEntry>& entries);
  bool RemoveLog();

  const std::string path_;
  const std::string logPath_;
  const bool toSend_;

  std::mutex lock_;
  std::condition_variable changed_;  // something to write, a compaction asked for, or the end
  std::condition_variable flushed_;  // a batch or a compaction is over

  RecordPlaces places_;  // the records still queued
  std::uint64_t fileRecords_ = 0;  // in the queue file, those pending included
  std::uint64_t written_ = 0;      // in the queue file on disk
  std::uint64_t left_ = 0;         // records of the file that left the queue
  std::uint64_t logEntries_ = 0;   // in the log on disk
  std::vector<std::uint8_t> records_;  // pending, whole records back to back
  std::vector<std::uint8_t> writing_;  // the batch being written, or one that failed; kept for its room
  std::vector<LogEntry> entries_;  // pending
  bool writerIdle_ = false;        // the writer waits for something to write
  bool logUnusable_ = false;       // a rewrite could not remove the log: nothing more goes in

  std::uint64_t changes_ = 0;       // every change counts one
  std::uint64_t writtenChanges_ = 0;
  std::uint64_t failedChanges_ = 0;  // the changes the last failed batch held
  int failedError_ = 0;
  std::string failedEntry_;  // the file the last failed batch could not write
  bool failing_ = false;
  Clock::time_point retryAt_;

  bool compactAsked_ = false;
  std::uint64_t compactions_ = 0;
  bool compacted_ = false;  // the last compaction's result
  int compactError_ = 0;
  bool stopping_ = false;

  // From Load to Open.
  QueueFileRejects rejects_;
  std::vector<bool> leftAtLoad_;
  bool logToRewrite_ = false;
  // From Open to Abandon.
  bool opened_ = false;
  SetAsideMark setAside_;
  bool logExisted_ = false;
  std::uint64_t logEntriesBeforeOpen_ = 0;

  std::thread writer_;
};

// Where a test may stop a process, to see what a crash there leaves.
enum class StoreStep {
  Appending,       // a record is being taken in
  RecordsWritten,  // a batch's records are in the queue file and flushed, its log entries not yet
  RewriteWritten,  // the new queue file is written aside and flushed
  RewriteLogged,   // the log says so
  RewriteInPlace,  // the new queue file is in place, the old log still there
  LogRemoved,      // the rewrite is over
};
using StoreStepHook = std::function<void(const std::string& queuePath, StoreStep step)>;
// Set before any store is made; called on the thread that reaches the step.
void SetStoreStepHook(StoreStepHook hook);
