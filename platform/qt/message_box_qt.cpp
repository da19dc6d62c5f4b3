#include "platform/qt/message_box_qt.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "platform/message_box.h"
#include "platform/qt/qt_text.h"

namespace {

MbResult ShowBox(const MessageBoxRequest& r) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (r.icon) {
    case MbIcon::Information: icon = QMessageBox::Information; break;
    case MbIcon::Warning: icon = QMessageBox::Warning; break;
    case MbIcon::Error: icon = QMessageBox::Critical; break;
    case MbIcon::Question: icon = QMessageBox::Question; break;
    case MbIcon::None: break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (r.buttons) {
    case MbButtons::Ok: buttons = QMessageBox::Ok; break;
    case MbButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MbButtons::OkNo: buttons = QMessageBox::Ok | QMessageBox::No; break;
    case MbButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case MbButtons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  QMessageBox box(icon, FromAnsi(r.caption), FromAnsi(r.text), buttons, QApplication::activeWindow());
  switch (box.exec()) {
    case QMessageBox::Ok: return MbResult::Ok;
    case QMessageBox::Yes: return MbResult::Yes;
    case QMessageBox::No: return MbResult::No;
    case QMessageBox::Cancel: return MbResult::Cancel;
    // Closed without a button: the box's way out.
    default:
      if (r.buttons == MbButtons::Ok) return MbResult::Ok;
      return r.buttons == MbButtons::YesNo || r.buttons == MbButtons::OkNo ? MbResult::No : MbResult::Cancel;
  }
}

}  // namespace

void InstallQtMessageBoxes(bool dialogsWhenOffscreen) {
  if (!dialogsWhenOffscreen && QGuiApplication::platformName() == QLatin1String("offscreen")) {
    SetMessageBoxHandler({});
    return;
  }
  SetMessageBoxHandler([](const MessageBoxRequest& r) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return ShowBox(r);
    MbResult result = MbResult::Cancel;
    QMetaObject::invokeMethod(app, [&] { result = ShowBox(r); }, Qt::BlockingQueuedConnection);
    return result;
  });
}
