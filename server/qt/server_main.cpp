// trelmsrv: the SMS gateway server.
#include <QApplication>

#include "platform/program_dir.h"
#include "platform/qt/message_box_qt.h"
#include "server/qt/server_program.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InstallQtMessageBoxes();
  ServerProgramOptions options;
  options.programDir = ProgramDir();
  return RunServer(options);
}
