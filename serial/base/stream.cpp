#include "serial/base/stream.h"

#include <algorithm>
#include <cstring>

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  const std::size_t n = std::min(static_cast<std::size_t>(count), bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return static_cast<std::int32_t>(n);
}
