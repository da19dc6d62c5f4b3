#pragma once
// Installs the Qt message-box handler. On the application's thread the box is
// modal, or run by `run` when the program gives one, and belongs to the window
// `owner` names (the active window without one), never to another box: a box
// goes away once answered and would take a box it owns along, unanswered. A
// call from another thread shows a box that blocks no window and waits for its
// answer through Synchronize, so closing the program releases it.
// On Qt's offscreen platform nobody could answer a dialog, so unless
// `dialogsWhenOffscreen` is set the box is written to standard error and
// answered with its first button, as the programs do without any handler.
#include <functional>

class QMessageBox;
class QWidget;

// Shows a box raised on the application's thread and returns once it is
// answered: for a program whose boxes must not be modal (a main window that
// must stay closable).
using RunBoxOnMainThread = std::function<void(QMessageBox& box)>;
// The window a box raised on the application's thread belongs to.
using BoxOwner = std::function<QWidget*()>;

void InstallQtMessageBoxes(bool dialogsWhenOffscreen = false, RunBoxOnMainThread run = {}, BoxOwner owner = {});
