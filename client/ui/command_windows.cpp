#include "client/ui/command_windows.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

// The window a widget belongs to; a pop-up (a menu, a list) belongs to the
// window it was opened from.
const QWidget* OwningWindow(const QWidget& widget) {
  const QWidget* window = widget.window();
  while ((window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip) && window->parentWidget())
    window = window->parentWidget()->window();
  return window;
}

}  // namespace

CommandWindows::CommandWindows(QWidget& owner) : owner_(owner) {}

CommandWindows::~CommandWindows() { qApp->removeEventFilter(this); }

void CommandWindows::FilterInput() {
  const bool on = !shown_.empty() || socketWaits_ > 0;
  if (on == filtering_) return;
  filtering_ = on;
  if (on)
    qApp->installEventFilter(this);
  else
    qApp->removeEventFilter(this);
}

int CommandWindows::Run(QDialog& dialog) {
  if (ownerClosed_) return QDialog::Rejected;
  const QPointer<QDialog> alive(&dialog);
  dialog.setWindowModality(Qt::NonModal);
  QEventLoop loop;
  connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
  connect(&dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
  connect(this, &CommandWindows::Closing, &loop, &QEventLoop::quit);
  {
    const Hold hold(*this, dialog);
    if (dialog.isVisible()) loop.exec();
  }
  if (!alive) return QDialog::Rejected;
  if (!ownerClosed_) return dialog.result();
  dialog.hide();
  return QDialog::Rejected;
}

CommandWindows::Hold::Hold(CommandWindows& windows, QWidget& window) : windows_(windows) { windows_.Push(window); }

CommandWindows::Hold::~Hold() { windows_.Pop(); }

void CommandWindows::Push(QWidget& window) {
  shown_.emplace_back(&window);
  FilterInput();
  window.show();
  window.raise();
  window.activateWindow();
}

void CommandWindows::Pop() {
  shown_.pop_back();
  FilterInput();
}

bool CommandWindows::WaitWritable(int socket, std::chrono::steady_clock::time_point deadline) {
  if (ownerClosed_) return false;
  QEventLoop loop;
  bool writable = false;
  QSocketNotifier notifier(static_cast<qintptr>(socket), QSocketNotifier::Write);
  connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
    writable = true;
    loop.quit();
  });
  QTimer limit;
  limit.setSingleShot(true);
  limit.setTimerType(Qt::PreciseTimer);
  connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  limit.start(std::max(left, std::chrono::milliseconds::zero()));
  connect(this, &CommandWindows::Closing, &loop, &QEventLoop::quit);
  ++socketWaits_;
  FilterInput();
  loop.exec();
  --socketWaits_;
  FilterInput();
  return writable && !ownerClosed_;
}

void CommandWindows::OwnerClosed() {
  ownerClosed_ = true;
  emit Closing();
}

QWidget* CommandWindows::Current() const { return shown_.empty() ? nullptr : shown_.back().data(); }

QWidget* CommandWindows::BoxOwner() const {
  for (auto it = shown_.rbegin(); it != shown_.rend(); ++it)
    if (*it && !qobject_cast<QMessageBox*>(it->data())) return it->data();
  return &owner_;
}

// Input meant for the owner, or for a window a later one waits over, is dropped;
// every other window (those the receive thread shows) goes on as it was, except
// while a socket is waited for.
bool CommandWindows::Blocked(const QWidget& target) const {
  if (socketWaits_ > 0) return true;
  const QWidget* window = OwningWindow(target);
  if (window == Current()) return false;
  if (window == &owner_) return true;
  return std::any_of(shown_.begin(), shown_.end(), [window](const QPointer<QWidget>& w) { return w == window; });
}

bool CommandWindows::eventFilter(QObject* watched, QEvent* event) {
  if (!IsUserInput(event->type()) || !watched->isWidgetType() || !Blocked(*static_cast<QWidget*>(watched)))
    return false;
  // A click on the owner brings up the window it waits on.
  if (QWidget* current = Current(); current && event->type() == QEvent::MouseButtonPress) {
    current->raise();
    current->activateWindow();
  }
  return true;
}
