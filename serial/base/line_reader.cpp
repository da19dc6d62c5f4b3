#include "serial/base/line_reader.h"

TLineReader::TLineReader(std::unique_ptr<TStream> stream)
    : stream_(std::move(stream)), size_(stream_ ? stream_->Size() : 0) {
  ReadPage();
}

void TLineReader::ReadPage() {
  pos_ = 0;
  page_len_ = 0;
  const std::int32_t n = stream_ ? stream_->Read(page_.data(), kPageSize) : 0;
  if (n <= 0) {
    end_of_data_ = true;
    skip_line_feed_ = false;
    return;
  }
  bytes_read_ += n;
  page_len_ = n;
  // A ^Z that ends a page ends it early, wherever the page lies in the data.
  if (page_[page_len_ - 1] == kEndOfFile) --page_len_;
  if (skip_line_feed_ && page_len_ > 0 && page_[0] == '\n') pos_ = 1;
  skip_line_feed_ = false;
}

std::string TLineReader::NextLine() {
  std::string line;
  for (;;) {
    if (pos_ >= page_len_) {
      if (end_of_data_) return line;
      ReadPage();
      if (end_of_data_) return line;
      continue;
    }
    const char c = page_[pos_++];
    if (c == '\r') {
      if (pos_ < page_len_) {
        if (page_[pos_] == '\n') ++pos_;
      } else if (!end_of_data_) {
        // Look at the next page now, so that its line feed is not taken for
        // a line of its own and Eof() is right at once.
        skip_line_feed_ = true;
        ReadPage();
      }
      return line;
    }
    line += c;
  }
}

bool TLineReader::Eof() const {
  return pos_ >= page_len_ && (end_of_data_ || bytes_read_ >= size_);
}
