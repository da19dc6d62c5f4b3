#pragma once
// Reads text lines that end with a carriage return (and an optional line feed
// after it) from a stream, a page of 4096 bytes at a time.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/base/stream.h"

class TLineReader {
 public:
  // The reader owns the stream from now on and reads its first page.
  explicit TLineReader(std::unique_ptr<TStream> stream);

  // The next line without its end. A line feed that does not follow a
  // carriage return, and a zero byte, are ordinary characters; so is a ^Z,
  // except as the last byte of a page, where it is dropped.
  std::string NextLine();

  // True when every byte of the stream has been returned.
  bool Eof() const;

  void ReadPage();

 private:
  static constexpr std::int32_t kPageSize = 4096;
  static constexpr char kEndOfFile = 26;  // ^Z, an old end-of-text mark

  std::unique_ptr<TStream> stream_;
  std::int64_t size_ = 0;
  std::int64_t bytes_read_ = 0;
  std::array<char, kPageSize> page_{};
  std::int32_t page_len_ = 0;
  std::int32_t pos_ = 0;
  bool end_of_data_ = false;
  // The last line ended with a carriage return that closed its page: a line
  // feed that opens the next page belongs to it.
  bool skip_line_feed_ = false;
};
