#include "server/store/store_log.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_io.h"
#include "server/store/queue_file.h"

namespace {

constexpr std::uint8_t kCheckOffset = 4;
// Seeds the check, so that an entry of zero bytes (a power cut can leave a file
// longer than what reached it) is no entry.
constexpr std::uint32_t kCheckSeed = 0x5EC0DA7Au;

void PutLe(std::span<std::uint8_t> out, std::uint64_t v) {
  for (std::uint8_t& b : out) {
    b = static_cast<std::uint8_t>(v & 0xFF);
    v >>= 8;
  }
}

std::uint64_t GetLe(std::span<const std::uint8_t> in) {
  std::uint64_t v = 0;
  for (std::size_t i = in.size(); i-- > 0;) v = (v << 8) | in[i];
  return v;
}

// FNV-1a over every byte but the check's own four.
std::uint32_t Check(std::span<const std::uint8_t, kLogEntrySize> bytes) {
  std::uint32_t h = 2166136261u ^ kCheckSeed;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i >= kCheckOffset && i < kCheckOffset + 4) continue;
    h = (h ^ bytes[i]) * 16777619u;
  }
  return h;
}

}  // namespace

std::array<std::uint8_t, kLogEntrySize> EncodeLogEntry(const LogEntry& e) {
  std::array<std::uint8_t, kLogEntrySize> out{};
  out[0] = static_cast<std::uint8_t>(e.kind);
  PutLe(std::span(out).subspan(8, 8), e.a);
  PutLe(std::span(out).subspan(16, 8), e.b);
  PutLe(std::span(out).subspan(kCheckOffset, 4), Check(out));
  return out;
}

std::optional<LogEntry> DecodeLogEntry(std::span<const std::uint8_t, kLogEntrySize> bytes) {
  if (bytes[0] < 1 || bytes[0] > 3 || bytes[1] != 0 || bytes[2] != 0 || bytes[3] != 0) return std::nullopt;
  if (GetLe(bytes.subspan(kCheckOffset, 4)) != Check(bytes)) return std::nullopt;
  return LogEntry{static_cast<LogKind>(bytes[0]), GetLe(bytes.subspan(8, 8)), GetLe(bytes.subspan(16, 8))};
}

std::string StoreLogFile(const std::string& queuePath) { return queuePath + ".done"; }

QueueFileLoad ReadStoreLog(const std::string& path, StoreLogRead& out) {
  out = {};
  int fd = -1;
  const QueueFileLoad opened = OpenStoredFile(path, fd);
  if (opened == QueueFileLoad::Missing) return QueueFileLoad::Loaded;
  if (opened != QueueFileLoad::Loaded) return opened;
  std::array<std::uint8_t, 256 * kLogEntrySize> batch;
  for (std::uint64_t offset = 0;;) {
    const ssize_t n = ReadAt(fd, batch, offset);
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return QueueFileLoad::Unreadable;
    }
    const std::size_t bytes = static_cast<std::size_t>(n);
    for (std::size_t at = 0; at + kLogEntrySize <= bytes; at += kLogEntrySize) {
      const auto entry = DecodeLogEntry(std::span(batch).subspan(at).first<kLogEntrySize>());
      if (entry) out.entries.push_back(*entry);
      else out.damaged = true;
    }
    offset += bytes;
    if (bytes < batch.size()) {
      if (bytes % kLogEntrySize != 0) out.damaged = true;  // a torn last entry
      out.bytes = offset;
      break;
    }
  }
  ::close(fd);
  return QueueFileLoad::Loaded;
}

void RecordDigest::Add(std::span<const std::uint8_t> record) {
  for (const std::uint8_t b : record) value_ = (value_ ^ b) * 0x100000001b3ULL;
}
