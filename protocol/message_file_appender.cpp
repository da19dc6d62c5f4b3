#include "protocol/message_file_appender.h"

#include "protocol/message_file.h"

namespace {

std::span<const std::uint8_t> Bytes(const std::string& image) {
  return {reinterpret_cast<const std::uint8_t*>(image.data()), image.size()};
}

std::string Image(std::span<const packet> records) {
  return MessageFileImage(records.size(), [&](std::size_t i) -> const packet& { return records[i]; });
}

}  // namespace

void MessageFileAppender::Append(const packet& p) { file_.Append(p.raw()); }

void MessageFileAppender::Append(std::span<const packet> records) { file_.Append(Bytes(Image(records))); }

void MessageFileAppender::AppendAt(std::uint64_t at, std::span<const packet> records) {
  file_.AppendAt(at, Bytes(Image(records)));
}
