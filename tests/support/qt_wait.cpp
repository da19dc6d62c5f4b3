#include "tests/support/qt_wait.h"

#include <QDeadlineTimer>
#include <QEventLoop>

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    // Returns when an event came or after a short while, to look again.
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

std::unique_ptr<QTimer> OnNextModal(std::function<void(QWidget*)> action) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(5);
  QTimer* raw = timer.get();
  QObject::connect(raw, &QTimer::timeout, [raw, action = std::move(action)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    raw->stop();
    action(modal);
  });
  timer->start();
  return timer;
}
