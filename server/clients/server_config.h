#pragma once
// The server's settings from Config.ini, section CONNECTION, read once at start.
#include <cstdint>
#include <string>

struct ServerConfig {
  std::int32_t Timeout = 500;        // ms the accept thread rests after a failed accept
  std::int32_t UCNT = 10;            // listen backlog
  std::int32_t EthernetPort = 8099;  // TCP port on all interfaces; 0 means no listener
  bool NeedReg = false;              // clients must log in
  bool CheckMail = false;            // the modem worker polls the SIM when idle
};

// A missing file or key, or a value that is not a decimal or 0x-hexadecimal
// 32-bit integer, gives the default. Flags are integers: 0 false, any other number true.
ServerConfig ReadServerConfig(const std::string& configPath);
