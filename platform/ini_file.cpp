#include "platform/ini_file.h"

#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>

#include "platform/file_io.h"
#include "platform/text_lines.h"

namespace {

struct Entry {
  std::size_t line;
  std::string key, value;
};

struct Section {
  std::string name;
  std::size_t header;    // line of "[name]"
  std::size_t lastLine;  // last line that belongs to it (header or entry)
  std::vector<Entry> entries;
};

struct Parsed {
  TextLines text;
  std::vector<Section> sections;
};

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// The value as written: in quotes when reading would otherwise trim or unquote it.
std::string StoredValue(std::string_view value) {
  if (Unquote(TrimSpaces(value)) == value) return std::string(value);
  return "\"" + std::string(value) + "\"";
}

bool HasBlankEnds(std::string_view text) { return TrimSpaces(text).size() != text.size(); }

// The file's lines, none when it is missing. Nothing when it is there but cannot be
// read, or is no regular file: a writer must not take that for an empty file.
std::optional<Parsed> LoadToWrite(const std::string& path) {
  const FileContents read = ReadFileContents(path);
  if (!read.Usable()) return std::nullopt;
  Parsed p;
  p.text = SplitLines(read.bytes);
  for (std::size_t i = 0; i < p.text.lines.size(); ++i) {
    const std::string_view line = p.text.lines[i];
    if (auto name = SectionHeaderName(line)) {
      p.sections.push_back(Section{std::string(*name), i, i, {}});
      continue;
    }
    if (p.sections.empty()) continue;
    const std::string_view trimmed = TrimSpaces(line);
    const std::size_t eq = trimmed.find('=');
    if (trimmed.empty() || trimmed.front() == ';' || eq == std::string_view::npos) continue;
    Section& s = p.sections.back();
    s.entries.push_back(Entry{i, std::string(TrimSpaces(trimmed.substr(0, eq))),
                              std::string(Unquote(TrimSpaces(trimmed.substr(eq + 1))))});
    s.lastLine = i;
  }
  return p;
}

// What a reader sees: a file that cannot be read gives every default.
Parsed Load(const std::string& path) { return LoadToWrite(path).value_or(Parsed{}); }

// Writers read, change and replace the file as one step.
std::mutex& WriteLock() {
  static std::mutex lock;
  return lock;
}

bool Store(const std::string& path, const Parsed& p) { return WriteFileAtomically(path, JoinLines(p.text)); }

const Section* FindSection(const Parsed& p, std::string_view name) {
  for (const auto& s : p.sections)
    if (AnsiEqualNoCase(s.name, name)) return &s;
  return nullptr;
}

const Entry* FindEntry(const Section& s, std::string_view key) {
  for (const auto& e : s.entries)
    if (AnsiEqualNoCase(e.key, key)) return &e;
  return nullptr;
}

// A 32-bit integer, as the programs' settings are; a number beyond that range is
// not one, so the caller's default applies rather than a wrapped or clipped value.
std::optional<std::int32_t> ParseInteger(std::string_view text) {
  text = TrimSpaces(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (value > kMax + 1) return std::nullopt;
  }
  if (!negative && value > kMax) return std::nullopt;
  const auto magnitude = static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool IniHolds(std::string_view section, std::string_view key, std::string_view value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  if (HasBlankEnds(section) || HasBlankEnds(key) || key.empty()) return false;
  return key.front() != '[' && key.front() != ';' && key.find('=') == std::string_view::npos;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const Parsed p = Load(path_);
  if (const Section* s = FindSection(p, section))
    if (const Entry* e = FindEntry(*s, key)) return e->value;
  return std::string(def);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const {
  const Parsed p = Load(path_);
  if (const Section* s = FindSection(p, section))
    if (const Entry* e = FindEntry(*s, key)) return ParseInteger(e->value).value_or(def);
  return def;
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  if (!IniHolds(section, key, value)) return false;
  std::lock_guard guard(WriteLock());
  std::optional<Parsed> loaded = LoadToWrite(path_);
  if (!loaded) return false;
  Parsed& p = *loaded;
  auto& lines = p.text.lines;
  const std::string stored = StoredValue(value);
  const std::string line = std::string(key) + "=" + stored;
  if (const Section* s = FindSection(p, section)) {
    if (const Entry* e = FindEntry(*s, key)) lines[e->line] = e->key + "=" + stored;
    else lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(s->lastLine + 1), line);
  } else {
    if (!lines.empty() && !TrimSpaces(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(line);
  }
  return Store(path_, p);
}

bool IniFile::WriteInteger(std::string_view section, std::string_view key, long value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::DeleteKey(std::string_view section, std::string_view key) {
  std::lock_guard guard(WriteLock());
  std::optional<Parsed> loaded = LoadToWrite(path_);
  if (!loaded) return false;
  Parsed& p = *loaded;
  const Section* s = FindSection(p, section);
  const Entry* e = s ? FindEntry(*s, key) : nullptr;
  if (!e) return true;
  p.text.lines.erase(p.text.lines.begin() + static_cast<std::ptrdiff_t>(e->line));
  return Store(path_, p);
}

bool IniFile::EraseSection(std::string_view section) {
  std::lock_guard guard(WriteLock());
  std::optional<Parsed> loaded = LoadToWrite(path_);
  if (!loaded) return false;
  Parsed& p = *loaded;
  bool changed = false;
  // Back to front, so earlier line numbers stay valid; a section runs to the next header.
  for (auto it = p.sections.rbegin(); it != p.sections.rend(); ++it) {
    if (!AnsiEqualNoCase(it->name, section)) continue;
    const auto next = it.base();  // the section after this one
    const std::size_t end = next == p.sections.end() ? p.text.lines.size() : next->header;
    p.text.lines.erase(p.text.lines.begin() + static_cast<std::ptrdiff_t>(it->header),
                       p.text.lines.begin() + static_cast<std::ptrdiff_t>(end));
    changed = true;
  }
  return !changed || Store(path_, p);
}

bool IniFile::SectionExists(std::string_view section) const { return FindSection(Load(path_), section) != nullptr; }

bool IniFile::KeyExists(std::string_view section, std::string_view key) const {
  const Parsed p = Load(path_);
  const Section* s = FindSection(p, section);
  return s && FindEntry(*s, key);
}

std::vector<std::string> IniFile::ReadSections() const {
  std::vector<std::string> out;
  const Parsed p = Load(path_);
  for (const auto& s : p.sections)
    if (FindSection(p, s.name) == &s) out.push_back(s.name);
  return out;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> out;
  for (auto& [key, value] : ReadSectionValues(section)) out.push_back(std::move(key));
  return out;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  const Parsed p = Load(path_);
  if (const Section* s = FindSection(p, section))
    for (const auto& e : s->entries)
      if (FindEntry(*s, e.key) == &e) out.emplace_back(e.key, e.value);
  return out;
}
