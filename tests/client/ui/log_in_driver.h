#pragma once
// Answers the next login dialog, the one a request offers again, with a user
// name and password, for as long as the returned watcher lives.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "client/ui/access_form.h"
#include "tests/support/qt_wait.h"

inline std::unique_ptr<QTimer> LogInOnNextDialog(const QString& user, const QString& password) {
  return OnNextDialog([user, password](QWidget* w) {
    auto* dialog = qobject_cast<TAccessForm*>(w);
    ASSERT_NE(dialog, nullptr);
    dialog->UserName->setText(user);
    dialog->UserPassword->setText(password);
    dialog->OKButton->click();
  });
}
