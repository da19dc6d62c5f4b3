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

// The file's bytes, or nothing when it cannot be read (missing, a directory, no
// right); errno then says why.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Fills `out` from the open file `fd` at `offset`, across short reads: the count
// read, fewer than asked only where the file ends; -1, with errno set, on failure.
ssize_t ReadAt(int fd, std::span<std::uint8_t> out, std::uint64_t offset);

// A file written aside and put in its place whole: its bytes go to path + ".tmp",
// which is flushed to disk and renamed over `path`, and the folder is flushed, so
// a crash leaves either the old file or the new one. Bytes are written as they
// come, so a large file needs no image of itself in memory. An aside file that is
// not put in place is removed.
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

 private:
  bool Fail(int error);

  std::string path_;
  std::string aside_;
  int fd_ = -1;
  int error_ = 0;
  bool made_ = false;  // the aside file is this object's to remove
  bool placed_ = false;
};

// Writes `bytes` aside and puts them in place (FileWrittenAside). On failure errno
// says why and false is returned: the old file is left as it was, except when only
// the folder could not be flushed (the new file is then in place, but a power cut
// may still bring the old one back).
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Flushes the folder that holds `path` to disk, so that a file made, renamed or
// removed there stays so after a power cut. False, with errno set, on failure.
bool SyncFolderOf(const std::string& path);

// Joins a directory and a file name with one separator.
std::string PathJoin(std::string_view dir, std::string_view name);
