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
// exit code: 0 for a normal close and for a second copy that found the first
// running; 1 for a start that ended without serving (it could not listen, or
// could not read, set aside or remove a queue file), for queues it could not save
// at the end, and for an exception that ended the program.
int RunServer(const ServerProgramOptions& options);
