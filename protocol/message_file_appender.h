#pragma once
// A message list that grows one record at a time, as the client's inbox.db and
// outbox.db do: each record is written the moment it is there (a received
// message arrived whole, a sent one was handed to the connection), so a client
// that dies mid-fetch or mid-job keeps every record but the one in flight, and
// the file is flushed to disk when the stream or the job pauses rather than once
// per record. Records already in the file are never rewritten; a torn record an
// interrupted append left is cut off by the next append.
#include <cstddef>
#include <string>

#include "protocol/packet.h"

class MessageFileAppender {
 public:
  explicit MessageFileAppender(std::string path) : path_(std::move(path)) {}
  ~MessageFileAppender();
  MessageFileAppender(const MessageFileAppender&) = delete;
  MessageFileAppender& operator=(const MessageFileAppender&) = delete;

  const std::string& Path() const { return path_; }
  // Writes the record after the whole records in the file (made when absent).
  // A failure is kept for Flush to report.
  void Append(const packet& p);
  // Records appended since the last flush.
  std::size_t Unflushed() const { return unflushed_; }
  // Flushes the appended records to disk and lets the file go until the next
  // append. False when any append since the last flush, or the flush, failed.
  bool Flush();

 private:
  bool AppendAtEnd(const packet& p);

  std::string path_;
  int fd_ = -1;
  std::size_t unflushed_ = 0;
  bool failed_ = false;
};
