// trelmsrv: the SMS gateway server.
#include <QApplication>
#include <csignal>
#include <cstdlib>

#include "platform/open_file_limit.h"
#include "platform/program_dir.h"
#include "platform/qt/display.h"
#include "platform/qt/message_box_qt.h"
#include "platform/qt/qt_russian.h"
#include "platform/qt/qt_stderr.h"
#include "platform/stderr_lines.h"
#include "server/qt/server_program.h"

int main(int argc, char** argv) {
  // Before anything writes: a standard error that a service manager has closed
  // must not end the server (its sockets are written with MSG_NOSIGNAL already).
  std::signal(SIGPIPE, SIG_IGN);
  RouteQtMessagesToStderrLines();
  // A server in a cupboard or under a service manager has no screen, and needs
  // none: it runs offscreen, where its message boxes go to standard error.
  if (!DisplayGiven()) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    StderrPrintf("trelmsrv: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): running on Qt's offscreen "
                 "platform, without a tray icon; its messages go to standard error\n");
  }
  RaiseOpenFileLimit();  // a descriptor for each client
  QApplication app(argc, argv);
  InstallQtMessageBoxes();
  LoadQtRussianTexts();
  ServerProgramOptions options;
  options.programDir = ProgramDir();
  return RunServer(options);
}
