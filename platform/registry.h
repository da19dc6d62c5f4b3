#pragma once
// The registry stand-in: the HKEY_LOCAL_MACHINE keys and values the server uses,
// kept in one text file beside the server (see README for its format), readable
// and editable by hand. Key paths and value names match without regard to case.
// Every write rewrites the file atomically. Names and strings are Windows-1251.
// A key is read when it is opened: one look at the file serves every read of it.
// A file that is there but cannot be read, or is no regular file, has no keys that
// can be opened, and nothing is ever written from it: an empty file taken in its
// place would lose every value when written back.
// The machine's USB serial devices appear beside the file's keys, read-only
// (registry_devices.h); a key of the same path in the file comes first.
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "platform/registry_devices.h"

enum class RegDataType { Unknown, String, Integer, Binary };

// A value of another type than asked for, or a write that failed.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace registry_file {
struct Value;
}

// One open key at a time, as the class library's registry wrapper works.
class TRegistry {
 public:
  explicit TRegistry(std::string filePath);
  ~TRegistry();

  // Key paths like "\SOFTWARE\Trelm\SMSConfig" (leading backslash optional).
  // False when the key is missing and not created, or the file cannot be read
  // (FileRead() then says why): a key is created only in a file that was read.
  bool OpenKey(std::string_view key, bool canCreate);
  bool OpenKeyReadOnly(std::string_view key);
  void CloseKey();
  bool KeyExists(std::string_view key) const;  // false too when the file cannot be read

  // How the file's last read (by an open, KeyExists or a write) went; its bytes
  // are not kept. Usable() is false when it was there but could not be read.
  const FileContents& FileRead() const { return read_; }

  // Of the open key, as it was when opened (and as this object wrote it since).
  bool ValueExists(std::string_view name) const;
  RegDataType GetDataType(std::string_view name) const;
  std::vector<std::string> GetValueNames() const;  // file order
  std::vector<std::string> GetKeyNames() const;    // direct subkeys

  // Throw ERegistryException when the value is missing or of another type.
  std::string ReadString(std::string_view name) const;
  std::int32_t ReadInteger(std::string_view name) const;
  std::vector<std::uint8_t> ReadBinaryData(std::string_view name) const;
  // The value's data when it is binary; nothing when it is missing or of another
  // type. The time it takes does not depend on whether the value is there.
  std::optional<std::vector<std::uint8_t>> FindBinaryData(std::string_view name) const;

  // Throw ERegistryException when no key is open, it was opened read-only, or the
  // file cannot be read or written.
  void WriteString(std::string_view name, std::string_view value);
  void WriteInteger(std::string_view name, std::int32_t value);
  void WriteBinaryData(std::string_view name, const std::vector<std::uint8_t>& data);

 private:
  struct Snapshot;
  bool Open(std::string_view key, bool canCreate, bool readOnly);
  const registry_file::Value* Find(std::string_view name) const;
  const registry_file::Value& Require(std::string_view name, RegDataType type) const;
  void Store(std::string_view name, const registry_file::Value& value);

  std::string file_;
  std::optional<std::string> openKey_;
  bool readOnly_ = false;
  std::vector<UsbSerialDevice> devices_;         // as they were when the open key was opened
  std::shared_ptr<const Snapshot> snapshot_;     // the keys then, while one is open
  mutable FileContents read_;
};
