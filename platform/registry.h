#pragma once
// The registry stand-in: the HKEY_LOCAL_MACHINE keys and values the server uses,
// kept in one text file beside the server (see README for its format), readable
// and editable by hand. Key paths and value names match without regard to case.
// Every write rewrites the file atomically. Names and strings are Windows-1251.
// The machine's USB serial devices appear beside the file's keys, read-only
// (registry_devices.h); a key of the same path in the file comes first.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_devices.h"

enum class RegDataType { Unknown, String, Integer, Binary };

// A value of another type than asked for, or a write that failed.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One open key at a time, as the class library's registry wrapper works.
class TRegistry {
 public:
  explicit TRegistry(std::string filePath);

  // Key paths like "\SOFTWARE\Trelm\SMSConfig" (leading backslash optional).
  bool OpenKey(std::string_view key, bool canCreate);  // false when missing and not created
  bool OpenKeyReadOnly(std::string_view key);
  void CloseKey();
  bool KeyExists(std::string_view key) const;

  bool ValueExists(std::string_view name) const;
  RegDataType GetDataType(std::string_view name) const;
  std::vector<std::string> GetValueNames() const;  // of the open key, file order
  std::vector<std::string> GetKeyNames() const;    // direct subkeys of the open key

  // Throw ERegistryException when the value is missing or of another type.
  std::string ReadString(std::string_view name) const;
  std::int32_t ReadInteger(std::string_view name) const;
  std::vector<std::uint8_t> ReadBinaryData(std::string_view name) const;

  // Throw ERegistryException when no key is open, it was opened read-only, or the
  // file cannot be written.
  void WriteString(std::string_view name, std::string_view value);
  void WriteInteger(std::string_view name, std::int32_t value);
  void WriteBinaryData(std::string_view name, const std::vector<std::uint8_t>& data);

 private:
  std::string file_;
  std::optional<std::string> openKey_;
  bool readOnly_ = false;
  std::vector<UsbSerialDevice> devices_;  // as they were when the open key was opened
};
