#include "server/clients/server_config.h"

#include "platform/ini_file.h"

namespace {
constexpr const char* kSection = "CONNECTION";
}

ServerConfig ReadServerConfig(const std::string& configPath) {
  const IniFile ini(configPath);
  ServerConfig c;
  c.Timeout = ini.ReadInteger(kSection, "Timeout", c.Timeout);
  c.UCNT = ini.ReadInteger(kSection, "UCNT", c.UCNT);
  c.EthernetPort = ini.ReadInteger(kSection, "EthernetPort", c.EthernetPort);
  c.NeedReg = ini.ReadInteger(kSection, "NeedReg", c.NeedReg ? 1 : 0) != 0;
  c.CheckMail = ini.ReadInteger(kSection, "CheckMail", c.CheckMail ? 1 : 0) != 0;
  return c;
}
