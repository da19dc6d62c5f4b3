#pragma once
// A file of fixed-size records that only grows, a batch of whole records at a
// time, flushed to disk when its writer pauses rather than once per record.
// Records already in the file are never rewritten: a torn record that an
// interrupted append left is cut off before the next one is written, and an
// append that fails (a full disk, a size limit) is cut back to the whole records.
// Only a regular file is appended to, never one reached through a link.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class RecordFileAppender {
 public:
  RecordFileAppender(std::string path, std::size_t recordSize) : path_(std::move(path)), recordSize_(recordSize) {}
  ~RecordFileAppender();  // Flush
  RecordFileAppender(const RecordFileAppender&) = delete;
  RecordFileAppender& operator=(const RecordFileAppender&) = delete;

  const std::string& Path() const { return path_; }
  // Writes whole records (`bytes` holds a whole number of them), in one write,
  // after the whole records in the file (made when absent). A failure is kept for
  // Flush to report.
  void Append(std::span<const std::uint8_t> bytes);
  // The same, but so that the file then holds its first `at` records and these:
  // a retry after a failed flush overwrites whatever that attempt left. Fails
  // (EIO) when the file holds fewer than `at` whole records.
  void AppendAt(std::uint64_t at, std::span<const std::uint8_t> bytes);
  // Records appended since the last flush.
  std::size_t Unflushed() const { return unflushed_; }
  // Flushes the appended records to disk, and the folder too when the file was
  // empty (it may have just been made, and its name must last as well), then lets
  // the file go until the next append. False, with errno set, when any append
  // since the last flush, or the flush, failed.
  bool Flush();

 private:
  static constexpr std::uint64_t kAtEnd = ~std::uint64_t{0};
  void AppendRecords(std::uint64_t at, std::span<const std::uint8_t> bytes);
  bool Open();
  bool WriteAt(std::uint64_t at, std::span<const std::uint8_t> bytes);

  std::string path_;
  std::size_t recordSize_;
  int fd_ = -1;
  bool wasEmpty_ = false;  // when opened: its folder is flushed with it
  std::size_t unflushed_ = 0;
  int error_ = 0;  // errno of the first failure since the last flush
};
