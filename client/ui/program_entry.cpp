#include "client/ui/program_entry.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdio>
#include <exception>

#include "client/ui/main_form.h"
#include "client/ui/pictures.h"
#include "platform/application.h"
#include "platform/codepage.h"
#include "platform/message_box.h"
#include "platform/program_dir.h"
#include "platform/qt/display.h"
#include "platform/qt/message_box_qt.h"
#include "platform/qt/qt_message_queue.h"
#include "platform/qt/qt_russian.h"
#include "platform/single_instance.h"

namespace {

// Errors that reach the message loop are shown, as the standard error display does.
class ClientApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      MessageBox(error.what(), Ansi("Trelm SMS Клиент"), MbButtons::Ok, MbIcon::Error);
    }
    return false;
  }
};

}  // namespace

std::unique_ptr<SingleInstance> ClaimClientInstance(const std::string& lockDir) {
  auto instance = std::make_unique<SingleInstance>("trelmcl", lockDir);
  if (!instance->AlreadyRunning()) return instance;
  MessageBox(Ansi("Приложение уже запущено"), Ansi("Trelm SMS Клиент"), MbButtons::Ok, MbIcon::Information);
  return nullptr;
}

void InstallClientMessageBoxes(TMainForm& form, bool dialogsWhenOffscreen) {
  InstallQtMessageBoxes(
      dialogsWhenOffscreen, [&form](QMessageBox& box) { form.Windows().Run(box); },
      [&form] { return form.Windows().BoxOwner(); });
}

int RunClientProgram(int argc, char** argv) {
  // The client is a window and nothing else: without a screen to show it on it
  // says so, where Qt would abort.
  if (!DisplayGiven()) {
    std::fputs("trelmcli: no display to show its window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
               "start it in a desktop session\n",
               stderr);
    return 1;
  }
  // No application display name: the window system would add it to every
  // caption, and the captions are shown as they are.
  ClientApplication app(argc, argv);
  app.setWindowIcon(ProgramIcon());
  LoadQtRussianTexts();
  InstallQtMessageBoxes();
  ServeMessagesInQtEventLoop();
  Application().SetTitle(Ansi("Trelm SMS Клиент"));

  const std::unique_ptr<SingleInstance> instance = ClaimClientInstance();
  if (!instance) return 0;

  stream_client client;  // the process's one connection, made before the main window
  TMainForm form(client, ProgramDir());
  QObject::connect(&form, &TMainForm::Closed, &app, [] { QCoreApplication::exit(0); });
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    form.move(screen->availableGeometry().center() - form.rect().center());
  form.show();
  InstallClientMessageBoxes(form);
  const int code = app.exec();
  InstallQtMessageBoxes();  // boxes from here on have no main window to wait over
  return code;
}
