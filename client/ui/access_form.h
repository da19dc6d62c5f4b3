#pragma once
// The login dialog the server asks for: user name and password, one "Вход"
// button, no close box. Escape still puts it away unanswered; the server then
// takes nothing else, and the client offers the login again when the user
// sends.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TAccessForm : public QDialog {
  Q_OBJECT
 public:
  explicit TAccessForm(QWidget* owner);

  QLabel* UserNameLabel;
  QLineEdit* UserName;
  QLabel* UserPasswordLabel;
  QLineEdit* UserPassword;
  QPushButton* OKButton;

 protected:
  // A close box, should a window manager draw one all the same, does nothing.
  void closeEvent(QCloseEvent* event) override;
};
