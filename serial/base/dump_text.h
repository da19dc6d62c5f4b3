#pragma once
// What the trace and dispatch-log dumps write alike: how their file is
// opened, how one byte is shown, and how the shown bytes are laid out on lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "serial/base/text_file.h"

// The dumps write through a buffer of this many bytes.
inline constexpr std::size_t kDumpBufferSize = 512;

// Binds `file` to `name` (none counts as empty) and opens it at its end when
// `append` is set and the file exists, else makes it anew. 0 or the I/O code.
std::int32_t OpenDumpFile(TextFile& file, const char* name, bool append);

// One byte as the dumps show it. With `allHex` always "[XX]". Otherwise a
// printable byte as itself (32 to 126, or 33 to 126 with `inHex`, so that a
// blank stands out in hex), and any other as "[XX]" with `inHex`, else as its
// decimal value in brackets. The text's length is its width on the line.
std::string DumpItem(std::uint8_t value, bool inHex, bool allHex);

// Puts items one after another and starts a new line before an item that
// would end past column 78. A new line begins with `indent` blanks and
// continues at `restart`.
class DumpLine {
 public:
  DumpLine(TextFile& file, std::uint32_t column, std::uint32_t restart, std::uint32_t indent)
      : file_(file), column_(column), restart_(restart), indent_(indent) {}

  void Put(std::string_view item);
  void SetColumn(std::uint32_t column) { column_ = column; }

 private:
  TextFile& file_;
  std::uint32_t column_;
  std::uint32_t restart_;
  std::uint32_t indent_;
};
