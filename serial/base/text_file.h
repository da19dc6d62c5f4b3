#pragma once
// Text files as the layer's dumps write them: a name bound first, then the
// file made anew or opened at its end, written through a buffer and closed.
// Each operation returns 0 or a negative I/O code of serial/base/result_codes.h: a
// missing folder is ecPathNotFound, no permission ecAccessDenied and a full
// disk ecDiskFull. The first error of a run sticks: later writes do nothing,
// and Close reports it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TextFile {
 public:
  explicit TextFile(std::size_t buffer_size = 128);
  // Closes a file still open; Close is the way to learn whether all was written.
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // Creates the file, truncating one that exists.
  std::int32_t Rewrite();
  // Opens an existing file for writing at its end; ecFileNotFound when there is none.
  std::int32_t Append();
  std::int32_t Write(std::string_view text);
  // The text and a line end (carriage return, line feed).
  std::int32_t WriteLn(std::string_view text = {});
  // Writes what is buffered and closes; the first error since the file was
  // opened, or ecNotOpen when it was not open.
  std::int32_t Close();

  const std::string& Name() const { return name_; }

 private:
  friend void AssignFile(TextFile& file, std::string_view name);

  std::int32_t Open(int flags);
  void Flush();
  void Fail(std::int32_t code);

  std::string name_;
  int fd_ = -1;
  std::int32_t error_ = 0;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// Binds the file to a name before it is opened; the two are one routine.
void AssignFile(TextFile& file, std::string_view name);
void Assign(TextFile& file, std::string_view name);
