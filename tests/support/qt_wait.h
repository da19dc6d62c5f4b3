#pragma once
// Waiting and answering dialogs in Qt tests: the event loop keeps running (queued
// calls from the receive thread, dialogs) while a condition is awaited.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "tests/support/wait_until.h"

// The one dialog driver: acts once on the next modal dialog, from inside the
// dialog's own event loop, for as long as the returned watcher lives. It looks
// every few milliseconds, so whatever runs before the dialog opens cannot make it
// miss the dialog.
std::unique_ptr<QTimer> OnNextModal(std::function<void(QWidget*)> action);
// The same for the next dialog that takes the user's input: a modal one, or the
// active dialog (the client's dialogs leave the main window closable, so they
// are not modal).
std::unique_ptr<QTimer> OnNextDialog(std::function<void(QWidget*)> action);

// A left click in the middle of the widget, delivered as the user's would be
// (through the application's event filters).
void ClickAsUser(QWidget* widget);

// The first visible top-level widget of a type, or nullptr.
template <class T>
T* FindTopLevel() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) return t;
  return nullptr;
}
