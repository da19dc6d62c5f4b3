#pragma once
// inbox.db as the receive thread writes it: each received message is appended
// the moment it has arrived whole, so a client that dies mid-fetch keeps every
// message it had (the server has let go of them), and the file is flushed to
// disk when the stream pauses rather than once per message. Records already in
// the file are never rewritten; a torn record an interrupted append left is cut
// off by the next append.
#include <cstddef>
#include <string>

#include "protocol/packet.h"

class InboxFile {
 public:
  explicit InboxFile(std::string path) : path_(std::move(path)) {}
  ~InboxFile();
  InboxFile(const InboxFile&) = delete;
  InboxFile& operator=(const InboxFile&) = delete;

  const std::string& Path() const { return path_; }
  // Writes the record after the whole records in the file (made when absent).
  // A failure is kept for Flush to report.
  void Append(const packet& p);
  // Messages appended since the last flush.
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
