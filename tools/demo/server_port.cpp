// trelm-server-port: the TCP port a server with the given Config.ini listens on,
// read as the server reads it, for the demo command to check before it starts
// anything and to watch for afterwards. Prints 0 when the settings give the
// server no fixed port (EthernetPort 0, on which it does not start, or one whose
// low 16 bits are 0, on which the system picks one).
#include <cstdio>

#include "server/clients/server_config.h"
#include "server/clients/stream_server.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: trelm-server-port CONFIG.INI\n", stderr);
    return 2;
  }
  const ServerConfig config = ReadServerConfig(argv[1]);
  std::printf("%u\n", config.EthernetPort == 0 ? 0u : unsigned{TcpPortOf(config.EthernetPort)});
  return 0;
}
