#pragma once
// The contact dialog: name, number and group of one contact. Created per use with
// the main window as owner; the caller sets the caption and runs it modally.
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

class TEditForm : public QDialog {
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
