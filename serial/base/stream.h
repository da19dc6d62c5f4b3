#pragma once
// The class library's byte stream, as far as the layer reads one.
#include <cstdint>
#include <string>

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to `count` bytes; returns how many were read (0 at the end).
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  virtual std::int64_t Size() const = 0;
};

// A stream over bytes held in memory.
class TMemoryStream : public TStream {
 public:
  explicit TMemoryStream(std::string bytes = {}) : bytes_(std::move(bytes)) {}
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

 private:
  std::string bytes_;
  std::size_t position_ = 0;
};
