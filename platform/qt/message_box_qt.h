#pragma once
// Installs the Qt message-box handler: a QMessageBox on the application's
// thread; a call from another thread waits there until the box is answered.
// On Qt's offscreen platform nobody could answer a dialog, so unless
// `dialogsWhenOffscreen` is set the box is written to standard error and
// answered with its first button, as the programs do without any handler.
void InstallQtMessageBoxes(bool dialogsWhenOffscreen = false);
