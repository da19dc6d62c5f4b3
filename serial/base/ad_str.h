#pragma once
// A growable text with a cursor. Positions given to and returned by GotoPos,
// Copy, Delete, Insert, Pos and PosIdx count from 1; GetChar and SetChar from 0.
// Out-of-range positions do nothing (or give an empty result), never reach
// outside the text.
#include <cstdint>
#include <string>
#include <string_view>

class TAdStr {
 public:
  explicit TAdStr(std::int32_t max_len) { SetMaxLen(max_len); }

  void SetMaxLen(std::int32_t n);  // empties the text; capacity n
  void Resize(std::int32_t n);     // capacity n, keeping at most n characters
  void Clear();

  // The appending ones grow the capacity when needed and return the new length.
  std::int32_t Append(std::string_view s);
  std::int32_t AppendBuff(const char* p);
  std::int32_t AppendTAdStr(const TAdStr& other);
  void Prepend(std::string_view s);
  // Index 1 to length + 1 (the end); others, or an empty s, do nothing.
  void Insert(std::string_view s, std::int32_t index);
  void Delete(std::int32_t index, std::int32_t count);
  std::string Copy(std::int32_t index, std::int32_t count) const;

  // First occurrence (from `index`); the cursor moves to it; 0 when absent,
  // the cursor then staying where it was.
  std::int32_t Pos(std::string_view s);
  std::int32_t PosIdx(std::string_view s, std::int32_t index);

  void Assign(const TAdStr& other);  // capacity, text and cursor position

  void First();
  void Last();
  void Next();
  void Prev();
  void MoveBy(std::int32_t n);
  void GotoPos(std::int32_t index);
  char GetCurChar() const;  // '\0' past the end
  char GetChar(std::int32_t i) const;
  void SetChar(std::int32_t i, char c);

  std::int32_t GetLen() const { return static_cast<std::int32_t>(text_.size()); }
  std::int32_t GetMaxLen() const { return capacity_; }
  std::int32_t GetBuffLen() const { return capacity_ + 1; }
  // Cuts the text to n characters; a length beyond the text leaves it whole.
  void SetLen(std::int32_t n);

  std::string_view Str() const { return text_; }

 private:
  void Grow() {
    if (GetLen() > capacity_) capacity_ = GetLen();
  }
  void ClampCursor();

  std::int32_t capacity_ = 0;
  std::string text_;
  std::int32_t cursor_ = 0;  // 0-based, 0..length
};
