#pragma once
// A message file that only grows, a whole record at a time: the client's inbox.db
// and outbox.db, the server's queue files while it runs, and its set-aside files.
// Each record is written the moment it is there (a received message arrived whole,
// a sent one was handed to the connection, a damaged one was found), so a program
// that dies keeps every record but the one in flight, and the file is flushed to
// disk when the stream or the job pauses rather than once per record. The rules of
// the append are RecordFileAppender's.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/record_file_appender.h"
#include "protocol/packet.h"

class MessageFileAppender {
 public:
  explicit MessageFileAppender(std::string path) : file_(std::move(path), kPacketSize) {}

  const std::string& Path() const { return file_.Path(); }
  // Writes the records, in one write, after the whole records in the file (made
  // when absent). A failure is kept for Flush to report.
  void Append(const packet& p);
  void Append(std::span<const packet> records);
  // The same, so that the file then holds its first `at` records and these.
  void AppendAt(std::uint64_t at, std::span<const packet> records);
  // Records appended since the last flush.
  std::size_t Unflushed() const { return file_.Unflushed(); }
  // Flushes the appended records to disk (RecordFileAppender::Flush). False, with
  // errno set, when any append since the last flush, or the flush, failed.
  bool Flush() { return file_.Flush(); }

 private:
  RecordFileAppender file_;
};
