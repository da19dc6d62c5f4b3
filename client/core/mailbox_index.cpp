#include "client/core/mailbox_index.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

#include "platform/file_io.h"

namespace {

// Records read at a time while the file is indexed.
constexpr std::size_t kChunkRecords = 256;

}  // namespace

MailboxIndex::MailboxIndex(const std::string& path) : file_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (file_ < 0) return;
  std::vector<std::uint8_t> chunk(kChunkRecords * kPacketSize);
  packet record;
  std::uint32_t at = 0;
  for (;;) {
    const ssize_t n = ReadAt(file_, chunk, std::uint64_t{at} * kPacketSize);
    if (n <= 0) break;
    const std::size_t whole = static_cast<std::size_t>(n) / kPacketSize;
    for (std::size_t i = 0; i < whole; ++i, ++at) {
      std::copy_n(chunk.begin() + static_cast<std::ptrdiff_t>(i * kPacketSize), kPacketSize, record.raw().begin());
      if (PacketVerify(record)) records_.push_back(at);
    }
    if (whole < kChunkRecords) break;  // the end, or a torn tail
  }
}

MailboxIndex::~MailboxIndex() {
  if (file_ >= 0) ::close(file_);
}

MailboxIndex::MailboxIndex(MailboxIndex&& other) noexcept
    : file_(std::exchange(other.file_, -1)), records_(std::move(other.records_)) {}

MailboxIndex& MailboxIndex::operator=(MailboxIndex&& other) noexcept {
  if (this != &other) {
    if (file_ >= 0) ::close(file_);
    file_ = std::exchange(other.file_, -1);
    records_ = std::move(other.records_);
  }
  return *this;
}

std::optional<packet> MailboxIndex::Record(std::size_t n) const {
  if (n >= records_.size()) return std::nullopt;
  packet record;
  const auto raw = record.raw();
  if (ReadAt(file_, raw, std::uint64_t{records_[n]} * kPacketSize) != static_cast<ssize_t>(raw.size()) ||
      !PacketVerify(record))
    return std::nullopt;
  return record;
}
