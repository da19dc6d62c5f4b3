#pragma once
// Installs the Qt message-box handler: a QMessageBox on the application's
// thread; a call from another thread waits there until the box is answered.
void InstallQtMessageBoxes();
