#include "client/edit_form.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLabel* LabelLeftOf(QWidget* parent, const QString& text, const QWidget* edit) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(8, edit->y(), edit->x() - 12, edit->height());
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setBuddy(const_cast<QWidget*>(edit));
  return label;
}

}  // namespace

TEditForm::TEditForm(QWidget* owner) : QDialog(owner) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFixedSize(391, 112);

  NameEdit = new QLineEdit(this);
  NameEdit->setObjectName("NameEdit");
  NameEdit->setGeometry(134, 12, 249, 22);
  LabelLeftOf(this, QStringLiteral("Имя абонента :"), NameEdit);

  NumEdit = new QLineEdit(this);
  NumEdit->setObjectName("NumEdit");
  NumEdit->setGeometry(134, 42, 121, 22);
  LabelLeftOf(this, QStringLiteral("Номер абонента/группа :"), NumEdit);

  GroupSelect = new QComboBox(this);
  GroupSelect->setObjectName("GroupSelect");
  GroupSelect->setEditable(true);
  GroupSelect->setInsertPolicy(QComboBox::NoInsert);
  GroupSelect->setGeometry(262, 42, 121, 22);

  okBtn = new QPushButton(QStringLiteral("Применить"), this);
  okBtn->setObjectName("okBtn");
  okBtn->setGeometry(134, 78, 121, 25);
  okBtn->setDefault(true);
  noBtn = new QPushButton(QStringLiteral("Отмена"), this);
  noBtn->setObjectName("noBtn");
  noBtn->setGeometry(262, 78, 121, 25);

  connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(noBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TEditForm::ClearFields() {
  NameEdit->clear();
  NumEdit->clear();
  GroupSelect->clear();
  GroupSelect->clearEditText();
}

void TEditForm::FillFields(const QString& name, const QString& number, const QString& group) {
  NameEdit->setText(name);
  NumEdit->setText(number);
  GroupSelect->setEditText(group);
}
