#include "client/ui/command_windows.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
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

int CommandWindows::Run(QDialog& dialog) {
  if (ownerClosed_) return QDialog::Rejected;
  dialog.setWindowModality(Qt::NonModal);
  QEventLoop loop;
  connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
  connect(this, &CommandWindows::Closing, &loop, &QEventLoop::quit);
  {
    const Hold hold(*this, dialog);
    if (dialog.isVisible()) loop.exec();
  }
  if (!ownerClosed_) return dialog.result();
  dialog.hide();
  return QDialog::Rejected;
}

CommandWindows::Hold::Hold(CommandWindows& windows, QWidget& window) : windows_(windows) { windows_.Push(window); }

CommandWindows::Hold::~Hold() { windows_.Pop(); }

void CommandWindows::Push(QWidget& window) {
  if (shown_.empty()) qApp->installEventFilter(this);
  shown_.emplace_back(&window);
  window.show();
  window.raise();
  window.activateWindow();
}

void CommandWindows::Pop() {
  shown_.pop_back();
  if (shown_.empty()) qApp->removeEventFilter(this);
}

void CommandWindows::OwnerClosed() {
  ownerClosed_ = true;
  emit Closing();
}

QWidget* CommandWindows::Current() const { return shown_.empty() ? nullptr : shown_.back().data(); }

// Input meant for the owner, or for a window a later one waits over, is dropped;
// every other window (those the receive thread shows) goes on as it was.
bool CommandWindows::Blocked(const QWidget& target) const {
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
