#pragma once
// Installs the Qt message-box handler. On the application's thread the box is
// modal, or run by `run` when the program gives one; a call from another thread
// shows a box that blocks no window and waits for its answer through
// Synchronize, so closing the program releases it.
// On Qt's offscreen platform nobody could answer a dialog, so unless
// `dialogsWhenOffscreen` is set the box is written to standard error and
// answered with its first button, as the programs do without any handler.
#include <functional>

class QMessageBox;

// Shows a box raised on the application's thread and returns once it is
// answered: for a program whose boxes must not be modal (a main window that
// must stay closable).
using RunBoxOnMainThread = std::function<void(QMessageBox& box)>;

void InstallQtMessageBoxes(bool dialogsWhenOffscreen = false, RunBoxOnMainThread run = {});
