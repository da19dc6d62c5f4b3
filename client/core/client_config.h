#pragma once
// The client's settings file Config.ini, section CONNECTION.
#include <cstdint>
#include <string>
#include <string_view>

struct ClientConfig {
  std::string serverIP = "127.0.0.1";  // Windows-1251
  std::int32_t port = 8099;
};

std::string ClientConfigPath(std::string_view appDir);
// A missing file or key gives its default.
ClientConfig ReadClientConfig(std::string_view appDir);
// Writes both keys; false when the file cannot be written.
bool WriteClientConfig(std::string_view appDir, const ClientConfig& config);
