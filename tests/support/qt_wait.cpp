#include "tests/support/qt_wait.h"

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
