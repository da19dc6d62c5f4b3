#include "tests/support/qt_wait.h"

#include <QDialog>
#include <QMouseEvent>

namespace {

std::unique_ptr<QTimer> OnNext(QWidget* (*find)(), std::function<void(QWidget*)> action) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(5);
  QTimer* raw = timer.get();
  QObject::connect(raw, &QTimer::timeout, [raw, find, action = std::move(action)] {
    QWidget* dialog = find();
    if (!dialog || !dialog->isVisible()) return;
    raw->stop();
    action(dialog);
  });
  timer->start();
  return timer;
}

}  // namespace

std::unique_ptr<QTimer> OnNextModal(std::function<void(QWidget*)> action) {
  return OnNext([] { return QApplication::activeModalWidget(); }, std::move(action));
}

std::unique_ptr<QTimer> OnNextDialog(std::function<void(QWidget*)> action) {
  return OnNext(
      []() -> QWidget* {
        if (QWidget* modal = QApplication::activeModalWidget()) return modal;
        return qobject_cast<QDialog*>(QApplication::activeWindow());
      },
      std::move(action));
}

void ClickAsUser(QWidget* widget) {
  const QPointF at = widget->rect().center();
  QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QApplication::sendEvent(widget, &release);
}
