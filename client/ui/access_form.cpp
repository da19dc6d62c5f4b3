#include "client/ui/access_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int kMaxField = 25;
}

TAccessForm::TAccessForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("AccessForm"));
  setWindowTitle(QStringLiteral("Авторизация"));
  setFixedSize(329, 146);

  UserNameLabel = new QLabel(QStringLiteral("Имя пользователя"), this);
  UserNameLabel->setGeometry(12, 22, 124, 21);
  UserName = new QLineEdit(this);
  UserName->setObjectName(QStringLiteral("UserName"));
  UserName->setGeometry(140, 20, 173, 24);
  UserName->setMaxLength(kMaxField);
  UserNameLabel->setBuddy(UserName);

  UserPasswordLabel = new QLabel(QStringLiteral("Пароль"), this);
  UserPasswordLabel->setGeometry(12, 60, 124, 21);
  UserPassword = new QLineEdit(this);
  UserPassword->setObjectName(QStringLiteral("UserPassword"));
  UserPassword->setGeometry(140, 58, 173, 24);
  UserPassword->setMaxLength(kMaxField);
  UserPassword->setEchoMode(QLineEdit::Password);
  UserPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 8226"));  // '•'
  QFont bold = UserPassword->font();
  bold.setBold(true);
  UserPassword->setFont(bold);
  UserPasswordLabel->setBuddy(UserPassword);

  OKButton = new QPushButton(QStringLiteral("Вход"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(120, 104, 89, 27);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAccessForm::closeEvent(QCloseEvent* event) { event->ignore(); }
