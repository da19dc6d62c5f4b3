#pragma once
// Installs the Qt message-box handler. On the application's thread the box is
// modal; a call from another thread shows a box that blocks no window and waits
// for its answer through Synchronize, so closing the program releases it.
// On Qt's offscreen platform nobody could answer a dialog, so unless
// `dialogsWhenOffscreen` is set the box is written to standard error and
// answered with its first button, as the programs do without any handler.
void InstallQtMessageBoxes(bool dialogsWhenOffscreen = false);
