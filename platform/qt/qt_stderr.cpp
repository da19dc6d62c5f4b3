#include "platform/qt/qt_stderr.h"

#include <QString>
#include <QtGlobal>
#include <cstdlib>

#include "platform/stderr_lines.h"

namespace {

void SayQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  StderrPrintf("%s\n", message.toLocal8Bit().constData());
  if (type == QtFatalMsg) {
    FlushStderrLines(std::chrono::seconds(1));
    std::abort();
  }
}

}  // namespace

void RouteQtMessagesToStderrLines() { qInstallMessageHandler(SayQtMessage); }
