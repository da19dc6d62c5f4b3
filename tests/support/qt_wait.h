#pragma once
// Waiting in Qt tests: the event loop keeps running (queued calls from the
// receive thread, dialogs) while a condition is awaited, with a generous limit.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

// Runs the event loop until `condition` holds; false after `timeoutMs`.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// Acts once on the next modal dialog, from inside the dialog's own event loop,
// for as long as the returned watcher lives.
std::unique_ptr<QTimer> OnNextModal(std::function<void(QWidget*)> action);

// The first visible top-level widget of a type, or nullptr.
template <class T>
T* FindTopLevel() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
  return nullptr;
}
