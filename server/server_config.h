#pragma once
// The server's settings from Config.ini, section CONNECTION, read once at start.
#include <string>

struct ServerConfig {
  long Timeout = 500;        // ms the accept thread rests after a failed accept
  long UCNT = 10;            // listen backlog
  long EthernetPort = 8099;  // TCP port on all interfaces; 0 means no listener
  bool NeedReg = false;      // clients must log in
  bool CheckMail = false;    // the modem worker polls the SIM when idle
};

// A missing file or key, or a value that is not a decimal or 0x-hexadecimal
// integer, gives the default. Flags are integers: 0 false, any other number true.
ServerConfig ReadServerConfig(const std::string& configPath);
