#include "platform/registry.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/ansi_case.h"
#include "platform/file_io.h"
#include "platform/text_lines.h"

// File format, one key per section, values as name=type:data:
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Trelm\SMSConfig]
//   "MessageRef"=dword:00000007
//   "Name"="text with \" and \\ escaped"
//   "ivanov"=hex:1f,0b,5a
// Lines that are not understood are kept when the file is rewritten.

namespace registry_file {

struct Value {
  std::size_t line;
  std::string name;
  RegDataType type = RegDataType::Unknown;
  std::string text;               // String
  std::int32_t integer = 0;       // Integer
  std::vector<std::uint8_t> bin;  // Binary
};

struct Key {
  std::string path;  // normalised: no root, no leading or trailing backslash
  std::size_t header, lastLine;
  std::vector<Value> values;
};

struct Parsed {
  TextLines text;
  std::vector<Key> keys;
};

}  // namespace registry_file

// The keys as one look at the file (and at the devices) found them.
struct TRegistry::Snapshot : registry_file::Parsed {};

namespace {

using registry_file::Key;
using registry_file::Parsed;
using registry_file::Value;

constexpr std::string_view kRoot = "HKEY_LOCAL_MACHINE";
constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);  // a device key, not in the file

std::string NormaliseKey(std::string_view path) {
  path = TrimSpaces(path);
  if (path.size() >= kRoot.size() && AnsiEqualNoCase(path.substr(0, kRoot.size()), kRoot)) path.remove_prefix(kRoot.size());
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

// A quoted name or string at s[at]; advances past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view s, std::size_t& at) {
  if (at >= s.size() || s[at] != '"') return std::nullopt;
  std::string out;
  for (++at; at < s.size(); ++at) {
    if (s[at] == '\\' && at + 1 < s.size()) out += s[++at];
    else if (s[at] == '"') { ++at; return out; }
    else out += s[at];
  }
  return std::nullopt;
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Value> ParseValue(std::string_view line) {
  line = TrimSpaces(line);
  Value v;
  std::size_t at = 0;
  if (!line.empty() && line[0] == '@') { at = 1; }
  else if (auto name = ReadQuoted(line, at)) v.name = *name;
  else return std::nullopt;
  if (at >= line.size() || line[at] != '=') return std::nullopt;
  std::string_view data = TrimSpaces(line.substr(at + 1));
  if (!data.empty() && data.front() == '"') {
    std::size_t q = 0;
    auto text = ReadQuoted(data, q);
    if (!text) return std::nullopt;
    v.type = RegDataType::String;
    v.text = *text;
  } else if (data.substr(0, 6) == "dword:") {
    std::uint32_t n = 0;
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      n = n * 16 + static_cast<std::uint32_t>(d);
    }
    v.type = RegDataType::Integer;
    v.integer = static_cast<std::int32_t>(n);
  } else if (data.substr(0, 4) == "hex:") {
    v.type = RegDataType::Binary;
    std::string_view bytes = data.substr(4);
    while (!bytes.empty()) {
      const std::size_t comma = bytes.find(',');
      const std::string_view item = TrimSpaces(bytes.substr(0, comma));
      if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return std::nullopt;
      v.bin.push_back(static_cast<std::uint8_t>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
      if (comma == std::string_view::npos) break;
      bytes.remove_prefix(comma + 1);
    }
  } else {
    return std::nullopt;
  }
  return v;
}

std::string FormatValue(std::string_view name, const Value& v) {
  std::string out = name.empty() ? "@=" : Quote(name) + "=";
  char buf[16];
  switch (v.type) {
    case RegDataType::String: out += Quote(v.text); break;
    case RegDataType::Integer:
      std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<std::uint32_t>(v.integer));
      out += buf;
      break;
    default:
      out += "hex:";
      for (std::size_t i = 0; i < v.bin.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.bin[i]);
        out += buf;
      }
  }
  return out;
}

Parsed Parse(std::string_view bytes) {
  Parsed p;
  p.text = SplitLines(bytes);
  for (std::size_t i = 0; i < p.text.lines.size(); ++i) {
    if (auto name = SectionHeaderName(p.text.lines[i])) {
      p.keys.push_back(Key{NormaliseKey(*name), i, i, {}});
    } else if (!p.keys.empty()) {
      if (auto v = ParseValue(p.text.lines[i])) {
        v->line = i;
        p.keys.back().values.push_back(std::move(*v));
        p.keys.back().lastLine = i;
      }
    }
  }
  return p;
}

// The file's keys; none when it is missing. Nothing when it is there but cannot be
// read, or is no regular file: `read` then says why, and whatever would have been
// written from it must not be.
std::optional<Parsed> Load(const std::string& file, FileContents& read) {
  read = ReadFileContents(file);
  if (!read.Usable()) return std::nullopt;
  Parsed p = Parse(read.bytes);
  read.bytes.clear();
  return p;
}

std::mutex& WriteLock() {
  static std::mutex lock;
  return lock;
}

const Key* FindKey(const Parsed& p, std::string_view path) {
  for (const auto& k : p.keys)
    if (AnsiEqualNoCase(k.path, path)) return &k;
  return nullptr;
}

// The first value of that name. Every value is looked at, so that the time taken
// does not tell whether, or where, the name is there (a login looks a user up).
const Value* FindValue(const Key& k, std::string_view name) {
  const Value* found = nullptr;
  for (const auto& v : k.values)
    if (AnsiEqualNoCase(v.name, name) && !found) found = &v;
  return found;
}

// The system's device keys: below the USB enumeration and the serial port map.
constexpr std::string_view kUsbEnumKey = "SYSTEM\\CurrentControlSet\\Enum\\USB";
constexpr std::string_view kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// path is `base` or lies below it.
bool AtOrBelow(std::string_view path, std::string_view base) {
  return path.size() >= base.size() && AnsiEqualNoCase(path.substr(0, base.size()), base) &&
         (path.size() == base.size() || path[base.size()] == '\\');
}

// Opening this key needs the system's devices: it is, holds or lies below one of theirs.
bool ConcernsDevices(std::string_view path) {
  for (std::string_view base : {kUsbEnumKey, kSerialCommKey})
    if (path.empty() || AtOrBelow(path, base) || AtOrBelow(base, path)) return true;
  return false;
}

std::vector<UsbSerialDevice> DevicesFor(std::string_view path) {
  return ConcernsDevices(path) ? ListUsbSerialDevices() : std::vector<UsbSerialDevice>{};
}

// Adds a string value to the key, made when missing; a value the file already
// has under that name is kept.
void AddDeviceValue(Parsed& p, const std::string& path, const std::string& name, const std::string& data) {
  auto k = std::find_if(p.keys.begin(), p.keys.end(), [&](const Key& key) { return AnsiEqualNoCase(key.path, path); });
  if (k == p.keys.end()) k = p.keys.insert(p.keys.end(), Key{path, kNoLine, kNoLine, {}});
  for (const auto& v : k->values)
    if (AnsiEqualNoCase(v.name, name)) return;
  Value v;
  v.line = kNoLine;
  v.name = name;
  v.type = RegDataType::String;
  v.text = data;
  k->values.push_back(std::move(v));
}

// The file's keys with the devices beside them: what every read sees.
Parsed WithDevices(Parsed p, const std::vector<UsbSerialDevice>& devices) {
  for (const auto& d : devices) {
    AddDeviceValue(p, std::string(kUsbEnumKey) + "\\Vid_" + d.vendorId + "&Pid_" + d.productId + "\\" + d.instance +
                          "\\Device Parameters",
                   "PortName", d.portName);
    AddDeviceValue(p, std::string(kSerialCommKey), d.devicePath, d.portName);
  }
  return p;
}

// A key exists when it is written down, or when a written key lies below it.
bool KeyPresent(const Parsed& p, std::string_view path) {
  if (path.empty() || FindKey(p, path)) return true;
  for (const auto& k : p.keys)
    if (k.path.size() > path.size() && k.path[path.size()] == '\\' &&
        AnsiEqualNoCase(std::string_view(k.path).substr(0, path.size()), path))
      return true;
  return false;
}

}  // namespace

TRegistry::TRegistry(std::string filePath) : file_(std::move(filePath)) {}

TRegistry::~TRegistry() = default;

bool TRegistry::Open(std::string_view key, bool canCreate, bool readOnly) {
  const std::string path = NormaliseKey(key);
  CloseKey();
  std::vector<UsbSerialDevice> devices = DevicesFor(path);
  // Held from the read to the write, so that a key made here takes nothing away
  // that another thread wrote meanwhile.
  std::unique_lock guard(WriteLock(), std::defer_lock);
  if (canCreate) guard.lock();
  std::optional<Parsed> file = Load(file_, read_);
  // A file that cannot be read says nothing of its keys: none is made in it.
  if (!file) return false;
  Parsed seen = WithDevices(std::move(*file), devices);
  if (!KeyPresent(seen, path)) {
    if (!canCreate) return false;
    TextLines text = std::move(seen.text);
    auto& lines = text.lines;
    if (!lines.empty() && !TrimSpaces(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(kRoot) + "\\" + path + "]");
    const std::string bytes = JoinLines(text);
    if (!WriteFileAtomically(file_, bytes)) return false;
    seen = WithDevices(Parse(bytes), devices);
  }
  snapshot_ = std::make_shared<Snapshot>(Snapshot{std::move(seen)});
  openKey_ = path;
  readOnly_ = readOnly;
  devices_ = std::move(devices);
  return true;
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) { return Open(key, canCreate, false); }

bool TRegistry::OpenKeyReadOnly(std::string_view key) { return Open(key, false, true); }

void TRegistry::CloseKey() {
  openKey_.reset();
  readOnly_ = false;
  devices_.clear();
  snapshot_.reset();
}

bool TRegistry::KeyExists(std::string_view key) const {
  const std::string path = NormaliseKey(key);
  const std::vector<UsbSerialDevice> devices = DevicesFor(path);
  std::optional<Parsed> file = Load(file_, read_);
  return file && KeyPresent(WithDevices(std::move(*file), devices), path);
}

const Value* TRegistry::Find(std::string_view name) const {
  const Key* k = snapshot_ ? FindKey(*snapshot_, *openKey_) : nullptr;
  return k ? FindValue(*k, name) : nullptr;
}

bool TRegistry::ValueExists(std::string_view name) const { return GetDataType(name) != RegDataType::Unknown; }

RegDataType TRegistry::GetDataType(std::string_view name) const {
  const Value* v = Find(name);
  return v ? v->type : RegDataType::Unknown;
}

std::vector<std::string> TRegistry::GetValueNames() const {
  std::vector<std::string> out;
  if (const Key* k = snapshot_ ? FindKey(*snapshot_, *openKey_) : nullptr)
    for (const auto& v : k->values)
      if (FindValue(*k, v.name) == &v) out.push_back(v.name);
  return out;
}

std::vector<std::string> TRegistry::GetKeyNames() const {
  std::vector<std::string> out;
  if (!snapshot_) return out;
  const std::string& base = *openKey_;
  for (const auto& k : snapshot_->keys) {
    std::string_view rest = k.path;
    if (!base.empty()) {
      if (rest.size() <= base.size() || rest[base.size()] != '\\' ||
          !AnsiEqualNoCase(rest.substr(0, base.size()), base))
        continue;
      rest.remove_prefix(base.size() + 1);
    }
    const std::string child(rest.substr(0, rest.find('\\')));
    bool seen = child.empty();
    for (const auto& name : out) seen = seen || AnsiEqualNoCase(name, child);
    if (!seen) out.push_back(child);
  }
  return out;
}

const Value& TRegistry::Require(std::string_view name, RegDataType type) const {
  const Value* v = Find(name);
  if (!v || v->type != type) throw ERegistryException("Invalid data type for '" + std::string(name) + "'");
  return *v;
}

std::string TRegistry::ReadString(std::string_view name) const { return Require(name, RegDataType::String).text; }

std::int32_t TRegistry::ReadInteger(std::string_view name) const {
  return Require(name, RegDataType::Integer).integer;
}

std::vector<std::uint8_t> TRegistry::ReadBinaryData(std::string_view name) const {
  return Require(name, RegDataType::Binary).bin;
}

std::optional<std::vector<std::uint8_t>> TRegistry::FindBinaryData(std::string_view name) const {
  const Value* v = Find(name);
  if (!v || v->type != RegDataType::Binary) return std::nullopt;
  return v->bin;
}

void TRegistry::Store(std::string_view name, const Value& value) {
  const auto failed = [&] { return ERegistryException("Failed to set data for '" + std::string(name) + "'"); };
  if (!openKey_ || readOnly_) throw failed();
  std::lock_guard guard(WriteLock());
  std::optional<Parsed> file = Load(file_, read_);
  if (!file) throw failed();  // never written from a read that failed
  Parsed& p = *file;
  auto& lines = p.text.lines;
  const std::string line = FormatValue(name, value);
  const Key* k = FindKey(p, *openKey_);
  if (!k) {
    if (!lines.empty() && !TrimSpaces(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(kRoot) + "\\" + *openKey_ + "]");
    lines.push_back(line);
  } else if (const Value* v = FindValue(*k, name)) {
    lines[v->line] = FormatValue(v->name, value);  // an existing name keeps its spelling
  } else {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(k->lastLine + 1), line);
  }
  const std::string bytes = JoinLines(p.text);
  if (!WriteFileAtomically(file_, bytes)) throw failed();
  snapshot_ = std::make_shared<Snapshot>(Snapshot{WithDevices(Parse(bytes), devices_)});
}

void TRegistry::WriteString(std::string_view name, std::string_view value) {
  Value v;
  v.type = RegDataType::String;
  v.text = std::string(value);
  Store(name, v);
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
  Value v;
  v.type = RegDataType::Integer;
  v.integer = value;
  Store(name, v);
}

void TRegistry::WriteBinaryData(std::string_view name, const std::vector<std::uint8_t>& data) {
  Value v;
  v.type = RegDataType::Binary;
  v.bin = data;
  Store(name, v);
}
