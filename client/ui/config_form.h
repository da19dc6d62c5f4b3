#pragma once
// The settings dialog: the server's port and IPv4 address. "Сохранить" closes
// it once the caller's check lets it.
#include "client/book/qt/checked_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TIPAddressEdit;

class TConfigForm : public TCheckedDialog {
  Q_OBJECT
 public:
  // The dialog's result when confirmed with "Сохранить".
  static constexpr int kResultYes = 6;

  explicit TConfigForm(QWidget* owner);

  QLabel* RemotePortLabel;
  QLineEdit* RemotePort;
  QLabel* IPLabel;
  QPushButton* btnSave;
  TIPAddressEdit* IPAddressHandle = nullptr;  // made by FormCreate

 private:
  void FormCreate();
};
