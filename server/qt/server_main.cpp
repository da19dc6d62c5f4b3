// trelmsrv: the SMS gateway server.
#include <QApplication>
#include <csignal>

#include "platform/program_dir.h"
#include "platform/qt/message_box_qt.h"
#include "platform/qt/qt_russian.h"
#include "platform/qt/qt_stderr.h"
#include "server/qt/server_program.h"

int main(int argc, char** argv) {
  // Before anything writes: a standard error that a service manager has closed
  // must not end the server (its sockets are written with MSG_NOSIGNAL already).
  std::signal(SIGPIPE, SIG_IGN);
  RouteQtMessagesToStderrLines();
  QApplication app(argc, argv);
  InstallQtMessageBoxes();
  LoadQtRussianTexts();
  ServerProgramOptions options;
  options.programDir = ProgramDir();
  return RunServer(options);
}
