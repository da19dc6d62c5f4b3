#pragma once
// A message list file opened for showing. One pass at opening finds where its
// sound whole records lie (a damaged one, whose checksum fails, is left out, and
// so is a torn tail); a record is then read from the file again when it is
// shown. Opening thus costs one read of the file and four bytes a record, not a
// row of texts per record, and a view asks only for the rows it shows.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/packet.h"

class MailboxIndex {
 public:
  MailboxIndex() = default;
  // A missing or unreadable file has no records.
  explicit MailboxIndex(const std::string& path);
  ~MailboxIndex();
  MailboxIndex(MailboxIndex&& other) noexcept;
  MailboxIndex& operator=(MailboxIndex&& other) noexcept;
  MailboxIndex(const MailboxIndex&) = delete;
  MailboxIndex& operator=(const MailboxIndex&) = delete;

  // Sound records, in file order (oldest first).
  std::size_t size() const { return records_.size(); }
  // The n-th of them, read now; nothing when the file no longer holds it as it
  // was (something other than the client cut or overwrote it).
  std::optional<packet> Record(std::size_t n) const;

 private:
  int file_ = -1;
  std::vector<std::uint32_t> records_;  // each one's place in the file, in records
};
