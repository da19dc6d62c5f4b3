#pragma once
// The server program from start to end, on the QApplication the caller made.
#include <string>

struct ServerProgramOptions {
  std::string programDir;  // where Config.ini, the queue files and registry.reg are
  std::string lockDir;     // where the one-instance lock lives; empty: the default
  int closeWaitMs = 2000;  // the time the close gives connections to finish
};

// Refuses a second running copy with a message, starts the server and runs the
// event loop until "Выход" or a stop signal (both save the queues). Returns the
// exit code: 1 when the program ends with queues it could not save, else 0.
int RunServer(const ServerProgramOptions& options);
