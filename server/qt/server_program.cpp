#include "server/qt/server_program.h"

#include <QApplication>
#include <QSocketNotifier>
#include <exception>

#include "platform/application.h"
#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/qt/qt_message_queue.h"
#include "platform/single_instance.h"
#include "platform/stderr_lines.h"
#include "serial/qt/com_select_form.h"
#include "server/qt/main_form.h"
#include "server/shutdown_signals.h"

namespace {

constexpr const char* kTitle = "Trelm SMS Server";

int Run(const ServerProgramOptions& options) {
  SingleInstance instance("trelmsrv", options.lockDir);
  if (instance.AlreadyRunning()) {
    MessageBox(Ansi("Приложение уже запущено"), kTitle, MbButtons::Ok, MbIcon::Information);
    return 0;
  }
  QApplication::setApplicationDisplayName(QString::fromLatin1(kTitle));
  // Windows of the main thread (a serial port's) are served from Qt's loop, and
  // so are the exceptions of the serial layer's threads.
  ServeMessagesInQtEventLoop();
  Application().SetTitle(kTitle);
  InstallComSelectForm();  // a modem port opened with no number asks the user for one
  // The form hides after the splash; only "Выход" or a stop signal ends the loop.
  QApplication::setQuitOnLastWindowClosed(false);

  ShutdownSignals stopSignals;
  TMainForm form(options.programDir);
  form.closeWaitMs = options.closeWaitMs;
  // A start that never served is a failure to whoever started the program.
  if (!form.FormCreate()) return 1;

  QSocketNotifier stopRequests(stopSignals.fd(), QSocketNotifier::Read);
  QObject::connect(&stopRequests, &QSocketNotifier::activated, &form, [&] {
    stopSignals.Take();
    form.close();
  });
  form.show();
  QApplication::exec();
  return form.QueuesLost() ? 1 : 0;
}

}  // namespace

int RunServer(const ServerProgramOptions& options) {
  int status = 1;
  try {
    status = Run(options);
  } catch (const std::exception& e) {
    MessageBox(e.what(), kTitle, MbButtons::Ok, MbIcon::Error);
  } catch (...) {
    MessageBox("", kTitle, MbButtons::Ok, MbIcon::Error);
  }
  // The last lines (why the start was refused, what could not be saved) go out
  // before the program ends, unless standard error is held up.
  FlushStderrLines(std::chrono::seconds(1));
  return status;
}
