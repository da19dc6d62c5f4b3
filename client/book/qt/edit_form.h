#pragma once
// The contact dialog: name, number and group of one contact. Created per use with
// the main window as owner; the caller sets the caption and the check of what
// was typed, and runs it modally.
#include "client/book/qt/checked_dialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class TEditForm : public TCheckedDialog {
  Q_OBJECT
 public:
  explicit TEditForm(QWidget* owner);

  // Empties the name, the number and the group with its list.
  void ClearFields();
  void FillFields(const QString& name, const QString& number, const QString& group);

  QLineEdit* NameEdit;
  QLineEdit* NumEdit;
  QComboBox* GroupSelect;
  QPushButton* okBtn;
  QPushButton* noBtn;
};
