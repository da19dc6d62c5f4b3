#pragma once
// INI files with the private-profile behaviour the programs rely on: sections and
// keys match without regard to case (Windows-1251 letters included, so "Нет" and
// "нет" name one section) and are listed in file order. Every call reads the file
// afresh; every write replaces it atomically and keeps lines it does not understand.
// Names and values are Windows-1251 bytes. A written value reads back as it was
// (one with blanks at its ends, or in quotes, is stored in quotes); a name or
// value the file cannot hold (see IniHolds) is not written. A file that is there
// but cannot be read, or is no regular file (never opened in a way that can
// block), reads as empty and is never written over.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_case.h"

// Whether a file can hold the section name, key and value so that they read
// back byte for byte: no line break anywhere, no blanks at the ends of a
// section name or key, and a key that does not read as a header, a comment or
// a key ending early ("[", ";", "=").
bool IniHolds(std::string_view section, std::string_view key, std::string_view value);
bool HasLineBreak(std::string_view text);

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // A 32-bit integer in decimal, or hexadecimal after 0x/0X, with an optional sign;
  // anything else, a number out of that range included, gives def.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;

  // Creates the file and the section when missing. False when the file cannot
  // be read or written, or cannot hold the names or the value.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, long value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool EraseSection(std::string_view section);

  bool SectionExists(std::string_view section) const;
  bool KeyExists(std::string_view section, std::string_view key) const;
  std::vector<std::string> ReadSections() const;                      // names, file order
  std::vector<std::string> ReadSection(std::string_view section) const;  // keys, file order
  // key=value pairs of a section, file order.
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;

 private:
  std::string path_;
};
