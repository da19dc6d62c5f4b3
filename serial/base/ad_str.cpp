#include "serial/base/ad_str.h"

#include <algorithm>
#include <cstring>

void TAdStr::SetMaxLen(std::int32_t n) {
  capacity_ = std::max(n, 0);
  Clear();
}

void TAdStr::Resize(std::int32_t n) {
  capacity_ = std::max(n, 0);
  if (GetLen() > capacity_) text_.resize(capacity_);
  ClampCursor();
}

void TAdStr::Clear() {
  text_.clear();
  cursor_ = 0;
}

std::int32_t TAdStr::Append(std::string_view s) {
  text_ += s;
  Grow();
  return GetLen();
}

std::int32_t TAdStr::AppendBuff(const char* p) {
  return Append(p != nullptr ? std::string_view(p) : std::string_view());
}

std::int32_t TAdStr::AppendTAdStr(const TAdStr& other) { return Append(other.text_); }

void TAdStr::Prepend(std::string_view s) { Insert(s, 1); }

void TAdStr::Insert(std::string_view s, std::int32_t index) {
  if (s.empty() || index < 1 || index > GetLen() + 1) return;
  text_.insert(static_cast<std::size_t>(index - 1), s);
  Grow();
}

void TAdStr::Delete(std::int32_t index, std::int32_t count) {
  if (index < 1 || count < 1 || index > GetLen()) return;
  text_.erase(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
  ClampCursor();
}

std::string TAdStr::Copy(std::int32_t index, std::int32_t count) const {
  if (index < 1 || count < 1 || index > GetLen()) return {};
  return text_.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

std::int32_t TAdStr::Pos(std::string_view s) { return PosIdx(s, 1); }

std::int32_t TAdStr::PosIdx(std::string_view s, std::int32_t index) {
  if (s.empty() || index < 1 || index > GetLen()) return 0;
  const std::size_t at = text_.find(s, static_cast<std::size_t>(index - 1));
  if (at == std::string::npos) return 0;
  cursor_ = static_cast<std::int32_t>(at);
  return cursor_ + 1;
}

void TAdStr::Assign(const TAdStr& other) {
  capacity_ = other.capacity_;
  text_ = other.text_;
  cursor_ = other.cursor_;
}

void TAdStr::First() { cursor_ = 0; }
void TAdStr::Last() { cursor_ = std::max(GetLen() - 1, 0); }
void TAdStr::Next() { MoveBy(1); }
void TAdStr::Prev() { MoveBy(-1); }

void TAdStr::MoveBy(std::int32_t n) {
  const std::int64_t to = std::int64_t{cursor_} + n;
  cursor_ = static_cast<std::int32_t>(std::clamp<std::int64_t>(to, 0, GetLen()));
}

void TAdStr::GotoPos(std::int32_t index) {
  cursor_ = std::clamp(index - 1, 0, GetLen());
}

char TAdStr::GetCurChar() const { return GetChar(cursor_); }

char TAdStr::GetChar(std::int32_t i) const {
  return i >= 0 && i < GetLen() ? text_[static_cast<std::size_t>(i)] : '\0';
}

void TAdStr::SetChar(std::int32_t i, char c) {
  if (i >= 0 && i < GetLen()) text_[static_cast<std::size_t>(i)] = c;
}

void TAdStr::SetLen(std::int32_t n) {
  if (n < 0) n = 0;
  if (n < GetLen()) text_.resize(static_cast<std::size_t>(n));
  ClampCursor();
}

void TAdStr::ClampCursor() { cursor_ = std::clamp(cursor_, 0, GetLen()); }
