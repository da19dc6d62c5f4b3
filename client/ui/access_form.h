#pragma once
// The login dialog the server asks for: user name and password, one "Вход" button.
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
};
