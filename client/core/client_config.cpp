#include "client/core/client_config.h"

#include "platform/file_io.h"
#include "platform/ini_file.h"

namespace {
constexpr std::string_view kSection = "CONNECTION";
}

std::string ClientConfigPath(std::string_view appDir) { return PathJoin(appDir, "Config.ini"); }

ClientConfig ReadClientConfig(std::string_view appDir) {
  const IniFile ini(ClientConfigPath(appDir));
  ClientConfig config;
  config.port = static_cast<std::int32_t>(ini.ReadInteger(kSection, "Port", config.port));
  config.serverIP = ini.ReadString(kSection, "ServerIP", config.serverIP);
  return config;
}

bool WriteClientConfig(std::string_view appDir, const ClientConfig& config) {
  IniFile ini(ClientConfigPath(appDir));
  const bool address = ini.WriteString(kSection, "ServerIP", config.serverIP);
  const bool port = ini.WriteInteger(kSection, "Port", config.port);
  return address && port;
}
