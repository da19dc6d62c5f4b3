#include "server/store/file_message_store.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <tuple>
#include <unordered_map>
#include <unistd.h>

#include "platform/file_io.h"
#include "platform/record_file_appender.h"
#include "server/store/queue_file_report.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kRetry = 1s;  // after a batch that could not be written
constexpr std::size_t kWindow = 256;  // records read at a time while rewriting
constexpr std::size_t kKeptRoom = 32768;  // records a batch keeps room for

StoreStepHook& StepHook() {
  static StoreStepHook hook;
  return hook;
}

void Step(const std::string& path, StoreStep step) {
  if (StepHook()) StepHook()(path, step);
}

std::vector<std::uint8_t> LogBytes(std::span<const LogEntry> entries) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(entries.size() * kLogEntrySize);
  for (const LogEntry& e : entries) {
    const auto encoded = EncodeLogEntry(e);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
  }
  return bytes;
}

bool AppendLog(const std::string& path, std::uint64_t at, const std::vector<LogEntry>& entries) {
  RecordFileAppender log(path, kLogEntrySize);
  log.AppendAt(at, LogBytes(entries));
  return log.Flush();
}

// The digest of the queue file's records, when it holds exactly `records` of
// them; nothing otherwise.
std::optional<std::uint64_t> DigestOf(const std::string& path, std::uint64_t records) {
  int fd = -1;
  if (OpenStoredFile(path, fd) != QueueFileLoad::Loaded) {
    return records == 0 ? std::optional(RecordDigest().Value()) : std::nullopt;  // no file: no records
  }
  RecordDigest digest;
  std::vector<std::uint8_t> batch(kWindow * kPacketSize);
  std::uint64_t seen = 0;
  std::uint64_t offset = 0;
  bool whole = true;
  for (;;) {
    const ssize_t n = ReadAt(fd, batch, offset);
    if (n < 0) {
      whole = false;
      break;
    }
    const std::size_t bytes = static_cast<std::size_t>(n);
    for (std::size_t at = 0; at + kPacketSize <= bytes; at += kPacketSize, ++seen)
      digest.Add(std::span(batch).subspan(at, kPacketSize));
    offset += bytes;
    if (bytes < batch.size()) {
      whole = bytes % kPacketSize == 0;
      break;
    }
  }
  ::close(fd);
  if (!whole || seen != records) return std::nullopt;
  return digest.Value();
}

// Whether the file at `path` could be written: it is a regular file (not a link)
// that opens for writing, or it is absent and its folder takes new files.
bool Writable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
  if (fd >= 0) {
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular) errno = EINVAL;
    return regular;
  }
  if (errno != ENOENT) return false;
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  return ::access(folder.c_str(), W_OK) == 0;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

void SetStoreStepHook(StoreStepHook hook) { StepHook() = std::move(hook); }

FileMessageStore::FileMessageStore(std::string queuePath, bool toSend)
    : path_(std::move(queuePath)), logPath_(StoreLogFile(path_)), toSend_(toSend) {
  writer_ = std::thread([this] { Run(); });
}

FileMessageStore::~FileMessageStore() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

QueueFileLoad FileMessageStore::Load(PacketQueue& queue, QueueFileRejects& rejects, StoreFault& fault) {
  std::lock_guard guard(lock_);
  StoreLogRead log;
  if (const QueueFileLoad read = ReadStoreLog(logPath_, log); read != QueueFileLoad::Loaded) {
    fault = {logPath_, errno, false};
    return read;
  }
  // The queue file's size, for the rewrite that may have put it in place.
  struct stat st {};
  const bool present = ::stat(path_.c_str(), &st) == 0;
  const std::uint64_t size = present ? static_cast<std::uint64_t>(st.st_size) : 0;
  const std::uint64_t whole = size / kPacketSize;

  // Entries before the last rewrite whose file is the one in place belong to the
  // file it replaced.
  std::size_t first = 0;
  std::optional<std::uint64_t> digest;
  for (std::size_t i = log.entries.size(); i-- > 0;) {
    const LogEntry& e = log.entries[i];
    if (e.kind != LogKind::Rewritten || e.a != whole || size % kPacketSize != 0) continue;
    if (!digest) digest = DigestOf(path_, whole);
    if (digest && *digest == e.b) {
      first = i + 1;
      break;
    }
  }
  bool rewrite = log.damaged || first != 0;
  struct Moved {
    std::uint64_t before;
    std::size_t order;  // of its entry
  };
  std::vector<bool> left(whole);
  std::unordered_map<std::uint64_t, Moved> moved;
  for (std::size_t i = first; i < log.entries.size(); ++i) {
    const LogEntry& e = log.entries[i];
    const bool inFile = e.a < whole;
    if (e.kind == LogKind::Rewritten || !inFile) {
      rewrite = true;  // a rewrite that never happened, or a record the file lost
      continue;
    }
    if (e.kind == LogKind::Done) {
      left[e.a] = true;
      moved.erase(e.a);
    } else if (!left[e.a]) {
      if (e.b > whole) rewrite = true;
      moved[e.a] = Moved{std::min(e.b, whole), i};
    }
  }

  std::vector<FileRecord> sound;
  QueueFileRejects found;
  std::uint64_t records = 0;
  const QueueFileLoad read = ReadQueueFile(
      path_, toSend_, [&](std::uint64_t r) { return r < left.size() && left[r]; }, sound, found, records);
  if (read == QueueFileLoad::Unreadable || read == QueueFileLoad::NotAFile) {
    fault = {path_, errno, false};
    return read;
  }
  // The order the queue had: by place, a moved record before the one it stands
  // before, after those moved there earlier.
  std::vector<std::pair<std::tuple<std::uint64_t, int, std::size_t>, FileRecord*>> keyed;
  keyed.reserve(sound.size());
  for (FileRecord& r : sound) {
    const auto m = moved.find(r.place);
    keyed.emplace_back(m == moved.end() ? std::tuple(r.place, 1, std::size_t{0})
                                        : std::tuple(m->second.before, 0, m->second.order),
                       &r);
  }
  std::sort(keyed.begin(), keyed.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  for (const auto& [key, r] : keyed) {
    const RecordId id = places_.Add(r->place);
    std::uint64_t place = 0;
    if (std::get<1>(key) == 0) places_.Move(id, std::get<0>(key), place);
    queue.push_back({id, std::move(r->packet)});
  }
  left.resize(records);
  fileRecords_ = written_ = records;
  left_ = static_cast<std::uint64_t>(std::count(left.begin(), left.end(), true));
  logEntries_ = log.entries.size();
  rejects_ = found;
  rejects = std::move(found);
  leftAtLoad_ = std::move(left);
  // Whatever in the log is no longer right for the file goes before anything is
  // added to it: a rewrite that never happened, records the file does not have.
  logToRewrite_ = rewrite || log.bytes % kLogEntrySize != 0;
  return read == QueueFileLoad::Missing && log.bytes == 0 ? QueueFileLoad::Missing : QueueFileLoad::Loaded;
}

bool FileMessageStore::RewriteLog(const std::vector<LogEntry>& entries) {
  if (entries.empty()) return RemoveLog();
  FileWrittenAside log(logPath_);
  const std::vector<std::uint8_t> bytes = LogBytes(entries);
  return log.Write(bytes) && log.Finish() && log.PutInPlace();
}

bool FileMessageStore::RemoveLog() {
  if (::unlink(logPath_.c_str()) != 0 && errno != ENOENT) return false;
  return SyncFolderOf(logPath_);
}

bool FileMessageStore::Open(StoreFault& fault) {
  std::lock_guard guard(lock_);
  const auto fail = [&](const std::string& path, bool setAside) {
    fault = {path, errno, setAside};
    return false;
  };
  if (!Writable(path_)) return fail(path_, false);
  if (Exists(logPath_) && !Writable(logPath_)) return fail(logPath_, false);

  // The log as the load read it, without what no longer applies: it says the
  // same of this file, so this is no change to undo.
  if (logToRewrite_) {
    std::vector<LogEntry> kept;
    for (std::uint64_t r = 0; r < leftAtLoad_.size(); ++r)
      if (leftAtLoad_[r]) kept.push_back(DoneEntry(r));
    for (const auto& [place, before] : places_.Moves()) kept.push_back(MovedEntry(place, before));
    if (!RewriteLog(kept)) return fail(logPath_, false);
    logEntries_ = kept.size();
    logToRewrite_ = false;
  }
  logExisted_ = Exists(logPath_);
  logEntriesBeforeOpen_ = logEntries_;

  if (!SetAsideRejects(path_, rejects_, setAside_)) return fail(SetAsideFile(path_), true);
  // The damaged records left the queue: the next start must not set them aside again.
  std::vector<LogEntry> rejected;
  for (const std::uint64_t offset : rejects_.offsets) rejected.push_back(DoneEntry(offset / kPacketSize));
  if (!rejected.empty() && !AppendLog(logPath_, logEntries_, rejected)) {
    const int error = errno;
    UndoSetAside(path_, setAside_);
    if (logExisted_) TruncateRegularFile(logPath_, logEntries_ * kLogEntrySize);
    else ::unlink(logPath_.c_str());
    errno = error;
    return fail(logPath_, false);
  }
  logEntries_ += rejected.size();
  left_ += rejected.size();
  leftAtLoad_.clear();
  opened_ = true;
  return true;
}

void FileMessageStore::Abandon() {
  std::lock_guard guard(lock_);
  if (!opened_) return;
  opened_ = false;
  if (logExisted_) TruncateRegularFile(logPath_, logEntriesBeforeOpen_ * kLogEntrySize);
  else ::unlink(logPath_.c_str());
  logEntries_ = logEntriesBeforeOpen_;
  if (!rejects_.empty()) UndoSetAside(path_, setAside_);
}

RecordId FileMessageStore::Append(const packet& p) {
  std::lock_guard guard(lock_);
  Step(path_, StoreStep::Appending);
  const auto raw = p.raw();
  records_.insert(records_.end(), raw.begin(), raw.end());
  RecordId id = 0;
  try {
    id = places_.Add(fileRecords_);
  } catch (...) {
    records_.resize(records_.size() - kPacketSize);
    throw;
  }
  ++fileRecords_;
  ++changes_;
  Wake();
  return id;
}

void FileMessageStore::Acknowledge(RecordId id) {
  std::lock_guard guard(lock_);
  std::uint64_t place = 0;
  if (!places_.Find(id, place)) return;
  entries_.push_back(DoneEntry(place));
  places_.Remove(id, place);
  ++left_;
  ++changes_;
  Wake();
}

void FileMessageStore::MoveToBack(RecordId id) {
  std::lock_guard guard(lock_);
  std::uint64_t place = 0;
  if (!places_.Find(id, place)) return;
  entries_.push_back(MovedEntry(place, fileRecords_));
  places_.Move(id, fileRecords_, place);
  ++changes_;
  Wake();
}

bool FileMessageStore::Flush() {
  std::unique_lock guard(lock_);
  const std::uint64_t wanted = changes_;
  flushed_.wait(guard, [&] { return writtenChanges_ >= wanted || failedChanges_ >= wanted || stopping_; });
  if (writtenChanges_ >= wanted) return true;
  errno = failedError_ != 0 ? failedError_ : EIO;
  return false;
}

bool FileMessageStore::Compact(std::string& failedEntry) {
  std::unique_lock guard(lock_);
  const std::uint64_t round = compactions_;
  compactAsked_ = true;
  changed_.notify_one();
  flushed_.wait(guard, [&] { return compactions_ != round; });
  if (!compacted_) failedEntry = failedEntry_;
  errno = compactError_;
  return compacted_;
}

void FileMessageStore::Wake() {
  // A writer at work looks for more before it waits again.
  if (writerIdle_) changed_.notify_one();
}

void FileMessageStore::Run() {
  std::unique_lock lock(lock_);
  while (!stopping_) {
    if (!Pending() && !compactAsked_) {
      writerIdle_ = true;
      changed_.wait(lock);
      writerIdle_ = false;
      continue;
    }
    if (failing_ && !compactAsked_ && Clock::now() < retryAt_) {
      changed_.wait_until(lock, retryAt_);
      continue;
    }
    bool written = false;
    try {
      // The close's compaction wants everything on disk first.
      do written = WriteBatch(lock);
      while (written && compactAsked_ && Pending());
    } catch (const std::bad_alloc&) {
      // No memory for the log's bytes: nothing was changed, and it is tried again.
      failing_ = true;
      retryAt_ = Clock::now() + kRetry;
    }
    std::string inTheWay;
    if (compactAsked_) {
      if (written && !Rewrite(inTheWay)) LogUnrewrittenQueueFile(path_, inTheWay, errno);
      // A record a thread took in meanwhile, and the rewrite did not take, is not saved yet.
      compacted_ = written && records_.empty();
      compactError_ = compacted_ ? 0 : failedError_ != 0 ? failedError_ : EIO;
      compactAsked_ = false;
      ++compactions_;
      flushed_.notify_all();
    } else if (written && WorthRewriting() && !Rewrite(inTheWay)) {
      LogUnrewrittenQueueFile(path_, inTheWay, errno);
    }
  }
  if (Pending()) WriteBatch(lock);
  flushed_.notify_all();
}

bool FileMessageStore::WriteBatch(std::unique_lock<std::mutex>& lock) {
  if (!Pending()) return true;
  // A batch whose records could not be written is tried again first, alone: the
  // entries that came since may name records not in it. Nothing here that may
  // fail for want of memory comes after a change, and a batch that fails is kept
  // where it is, so that no record loses its place in the file.
  const bool again = !writing_.empty();
  const std::size_t entryCount = again || logUnusable_ ? 0 : entries_.size();
  const std::vector<std::uint8_t> logBytes = LogBytes(std::span(entries_).first(entryCount));
  if (!again) writing_.swap(records_);  // the emptied batch of the last time keeps its room
  const std::vector<std::uint8_t>& records = writing_;
  const std::uint64_t at = written_;
  const std::uint64_t logAt = logEntries_;
  const std::uint64_t upTo = changes_;
  const bool everything = records_.empty() && entryCount == entries_.size();
  lock.unlock();

  bool recordsWritten = true;
  bool entriesWritten = true;
  int error = 0;
  if (!records.empty()) {
    RecordFileAppender file(path_, kPacketSize);
    file.AppendAt(at, records);
    recordsWritten = file.Flush();
    error = errno;
    if (recordsWritten) Step(path_, StoreStep::RecordsWritten);
  }
  // Entries go after the records they may name, never before.
  if (recordsWritten && !logBytes.empty()) {
    RecordFileAppender log(logPath_, kLogEntrySize);
    log.AppendAt(logAt, logBytes);
    entriesWritten = log.Flush();
    error = errno;
  }

  lock.lock();
  if (recordsWritten) {
    written_ += records.size() / kPacketSize;
    writing_.clear();
    if (writing_.capacity() > kKeptRoom * kPacketSize) writing_.shrink_to_fit();  // after a burst
  }
  if (recordsWritten && entriesWritten) {
    logEntries_ += entryCount;
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(entryCount));
  }
  const bool ok = recordsWritten && entriesWritten;
  if (ok) {
    if (everything) writtenChanges_ = upTo;
    if (failing_) LogQueueFileWrittenAgain(path_);
    failing_ = false;
  } else {
    failedChanges_ = upTo;
    failedError_ = error != 0 ? error : EIO;
    failedEntry_ = recordsWritten ? logPath_ : path_;
    if (!failing_) LogUnwritableQueueFile(failedEntry_, failedError_);
    failing_ = true;
    retryAt_ = Clock::now() + kRetry;
  }
  flushed_.notify_all();
  return ok;
}

bool FileMessageStore::WorthRewriting() const {
  return !logUnusable_ && left_ >= kRewriteFrom && left_ * 2 > fileRecords_;
}

bool FileMessageStore::WriteRewrittenFile(const std::vector<RecordId>& order, FileWrittenAside& aside,
                                          std::uint64_t& digest) {
  int fd = -1;
  if (written_ != 0 && OpenStoredFile(path_, fd) != QueueFileLoad::Loaded) {
    if (errno == 0) errno = EIO;
    return false;
  }
  RecordDigest sum;
  std::vector<std::uint8_t> window(kWindow * kPacketSize);
  std::uint64_t windowFirst = 0;
  std::uint64_t windowRecords = 0;
  std::vector<std::uint8_t> out;
  out.reserve(kWindow * kPacketSize);
  bool ok = true;
  for (std::size_t i = 0; ok && i < order.size(); ++i) {
    std::uint64_t r = 0;
    places_.Find(order[i], r);
    std::span<const std::uint8_t> record;
    if (r >= written_) {  // not in the file yet
      record = std::span(records_).subspan((r - written_) * kPacketSize, kPacketSize);
    } else {
      if (r < windowFirst || r >= windowFirst + windowRecords) {
        const ssize_t n = ReadAt(fd, window, r * kPacketSize);
        windowFirst = r;
        windowRecords = n < 0 ? 0 : static_cast<std::uint64_t>(n) / kPacketSize;
        if (windowRecords == 0) {
          if (n >= 0) errno = EIO;  // the file is shorter than the store knows it
          ok = false;
          break;
        }
      }
      record = std::span(window).subspan((r - windowFirst) * kPacketSize, kPacketSize);
    }
    sum.Add(record);
    out.insert(out.end(), record.begin(), record.end());
    if (out.size() == out.capacity() || i + 1 == order.size()) {
      ok = aside.Write(out);
      out.clear();
    }
  }
  const int error = errno;
  if (fd >= 0) ::close(fd);
  errno = error;
  digest = sum.Value();
  return ok && aside.Finish();
}

bool FileMessageStore::Rewrite(std::string& inTheWay) {
  if (logUnusable_) return true;
  const bool inFileOrder =
      places_.size() == fileRecords_ && records_.empty() && entries_.empty() && !places_.AnyMoved();
  if (inFileOrder && logEntries_ == 0) {
    ::unlink(AsideFile(path_).c_str());  // what a rewrite cut short by a crash left
    inTheWay = logPath_;
    return RemoveLog();  // the file holds the queue already
  }

  // The new file holds the pending records too; the pending entries are in its order.
  const std::vector<RecordId> order = places_.Order();
  const std::uint64_t count = order.size();
  std::uint64_t digest = RecordDigest().Value();
  std::optional<FileWrittenAside> aside;
  if (count != 0) {
    aside.emplace(path_);
    if (!WriteRewrittenFile(order, *aside, digest)) {
      inTheWay = aside->failedEntry().empty() ? path_ : aside->failedEntry();
      return false;
    }
  }
  Step(path_, StoreStep::RewriteWritten);
  inTheWay = logPath_;
  if (!AppendLog(logPath_, logEntries_, {RewrittenEntry(count, digest)})) return false;
  ++logEntries_;
  Step(path_, StoreStep::RewriteLogged);
  if (count != 0) {
    // Only a folder's flush that failed leaves it in place: the log's removal
    // below flushes the folder again.
    if (!aside->PutInPlace() && !aside->placed()) {
      inTheWay = aside->failedEntry();
      return false;
    }
  } else if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
    inTheWay = path_;
    return false;
  }
  Step(path_, StoreStep::RewriteInPlace);
  places_.Renumber(order);
  fileRecords_ = written_ = count;
  left_ = 0;
  records_.clear();
  entries_.clear();
  writtenChanges_ = changes_;
  // What the log holds is of the file that was replaced: an entry added after it
  // would be read against the wrong file.
  inTheWay = logPath_;
  if (!RemoveLog()) {
    logUnusable_ = true;
    return false;
  }
  logEntries_ = 0;
  Step(path_, StoreStep::LogRemoved);
  return true;
}
