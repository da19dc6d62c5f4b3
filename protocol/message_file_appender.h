#pragma once
// A message file that only grows, a whole record at a time: the client's inbox.db
// and outbox.db, and the server's set-aside files. Each record is written the
// moment it is there (a received message arrived whole, a sent one was handed to
// the connection, a damaged one was found), so a program that dies keeps every
// record but the one in flight, and the file is flushed to disk when the stream or
// the job pauses rather than once per record. Records already in the file are
// never rewritten: a torn record that an interrupted append left is cut off before
// the next one is written, and an append that fails (a full disk, a size limit) is
// cut back to the whole records. Only a regular file is appended to, never one
// reached through a link.
#include <cstddef>
#include <span>
#include <string>

#include "protocol/packet.h"

class MessageFileAppender {
 public:
  explicit MessageFileAppender(std::string path) : path_(std::move(path)) {}
  ~MessageFileAppender();  // Flush
  MessageFileAppender(const MessageFileAppender&) = delete;
  MessageFileAppender& operator=(const MessageFileAppender&) = delete;

  const std::string& Path() const { return path_; }
  // Writes the records, in one write, after the whole records in the file (made
  // when absent). A failure is kept for Flush to report.
  void Append(const packet& p);
  void Append(std::span<const packet> records);
  // Records appended since the last flush.
  std::size_t Unflushed() const { return unflushed_; }
  // Flushes the appended records to disk, and the folder too when the file was
  // empty (it may have just been made, and its name must last as well), then lets
  // the file go until the next append. False, with errno set, when any append
  // since the last flush, or the flush, failed.
  bool Flush();

 private:
  void AppendRecords(std::span<const std::byte> bytes, std::size_t count);
  bool Open();
  bool AppendAtEnd(std::span<const std::byte> bytes);

  std::string path_;
  int fd_ = -1;
  bool wasEmpty_ = false;  // when opened: its folder is flushed with it
  std::size_t unflushed_ = 0;
  int error_ = 0;  // errno of the first failure since the last flush
};
