#pragma once
// Whole-file reads and crash-safe writes: every file the programs write is
// written aside and renamed into place, so a crash never leaves it half written,
// and its folder is flushed, so a power cut does not undo the rename.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>

// What reading a file whole found.
enum class ReadStatus {
  Read,
  Missing,   // no such file
  NotAFile,  // a folder, a FIFO or a device in its place: refused, never opened
             // in a way that can block (a FIFO would wait for a writer)
  Failed,    // it is there but could not be read (no right, no descriptor left)
};

struct FileContents {
  ReadStatus status = ReadStatus::Missing;
  std::string bytes;  // when Read
  int error = 0;      // errno, when Failed

  // Read, or missing and so empty. A file that failed is never to be taken for
  // an empty one: a write would put that in its place.
  bool Usable() const { return status == ReadStatus::Read || status == ReadStatus::Missing; }
};

// The file's bytes, followed through a link; only a regular file is read.
FileContents ReadFileContents(const std::string& path);

// Why a file could not be read, in words for standard error (UTF-8).
std::string ReadFailureReason(const FileContents& read);

// The file's bytes, or nothing when it cannot be read (missing, no regular file,
// no right); errno then says why (EISDIR for a folder, EINVAL for anything else
// that is no regular file).
std::optional<std::string> ReadWholeFile(const std::string& path);

// Fills `out` from the open file `fd` at `offset`, across short reads: the count
// read, fewer than asked only where the file ends; -1, with errno set, on failure.
ssize_t ReadAt(int fd, std::span<std::uint8_t> out, std::uint64_t offset);

// The name a file is written aside under before it is renamed into place.
std::string AsideFile(const std::string& path);

// A file written aside and put in its place whole: its bytes go to
// AsideFile(path), which is flushed to disk and renamed over `path`, and the folder
// is flushed, so a crash leaves either the old file or the new one. Bytes are
// written as they come, so a large file needs no image of itself in memory. The
// file aside is made new: a stale one (a link included, which is removed, not
// followed) goes first, and a folder of that name fails it. The file keeps the
// permissions of the one it replaces. An aside file not put in place is removed.
class FileWrittenAside {
 public:
  explicit FileWrittenAside(std::string path);  // makes the aside file
  ~FileWrittenAside();
  FileWrittenAside(const FileWrittenAside&) = delete;
  FileWrittenAside& operator=(const FileWrittenAside&) = delete;

  // False, with errno set, once anything failed; every later call fails too.
  bool Write(std::span<const std::uint8_t> bytes);
  // Flushes the aside file to disk and closes it.
  bool Finish();
  // Renames the finished file over the path, then flushes the folder. False when
  // either failed; only a failed folder flush leaves the new file in place.
  bool PutInPlace();
  // The file is in place (though its folder's flush may have failed).
  bool placed() const { return placed_; }
  // After a failure: what was in the way (the file aside, the file, or its folder).
  const std::string& failedEntry() const { return failedEntry_; }

 private:
  bool Fail(int error, const std::string& entry);

  std::string path_;
  std::string aside_;
  int fd_ = -1;
  int error_ = 0;
  std::string failedEntry_;
  bool made_ = false;  // the aside file is this object's to remove
  bool placed_ = false;
};

// Writes `bytes` aside and puts them in place (FileWrittenAside). On failure
// errno says why, `failedEntry` (when given) names what was in the way (the file
// aside, the file, or its folder) and false is returned: the old file is left as
// it was, except when only the folder could not be flushed (the new file is then
// in place, but a power cut may still bring the old one back).
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* failedEntry = nullptr);

// Opens `path` to append to it, made when missing: only a regular file, never
// through a link, and without waiting for a FIFO's reader. -1, with errno set, on
// failure (ELOOP for a link, EINVAL for anything else that is no regular file).
int OpenForAppend(const std::string& path);

// Cuts the regular file at `path` to `size` bytes, never through a link. False,
// with errno set, on failure.
bool TruncateRegularFile(const std::string& path, std::uint64_t size);

// Flushes the folder that holds `path` to disk, so that a file made, renamed or
// removed there stays so after a power cut. False, with errno set, on failure.
bool SyncFolderOf(const std::string& path);

// Joins a directory and a file name with one separator.
std::string PathJoin(std::string_view dir, std::string_view name);
