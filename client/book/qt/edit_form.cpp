#include "client/book/qt/edit_form.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

QLabel* LabelLeftOf(QWidget* parent, const QString& text, const QWidget* edit) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(8, edit->y(), edit->x() - 12, edit->height());
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setBuddy(const_cast<QWidget*>(edit));
  return label;
}

}  // namespace

TEditForm::TEditForm(QWidget* owner) : TCheckedDialog(owner) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  const QString nameLabel = QStringLiteral("Имя абонента :");
  const QString numberLabel = QStringLiteral("Номер абонента/группа :");
  // 391 x 112 with the labels in 134 pixels; a wider font widens the label
  // column rather than cutting the labels off.
  const int left = std::max(134, fontMetrics().horizontalAdvance(numberLabel) + 16);
  setFixedSize(left + 257, 112);

  NameEdit = new QLineEdit(this);
  NameEdit->setObjectName("NameEdit");
  NameEdit->setGeometry(left, 12, 249, 22);
  LabelLeftOf(this, nameLabel, NameEdit);

  NumEdit = new QLineEdit(this);
  NumEdit->setObjectName("NumEdit");
  NumEdit->setGeometry(left, 42, 121, 22);
  LabelLeftOf(this, numberLabel, NumEdit);

  GroupSelect = new QComboBox(this);
  GroupSelect->setObjectName("GroupSelect");
  GroupSelect->setEditable(true);
  GroupSelect->setInsertPolicy(QComboBox::NoInsert);
  GroupSelect->setGeometry(left + 128, 42, 121, 22);

  okBtn = new QPushButton(QStringLiteral("Применить"), this);
  okBtn->setObjectName("okBtn");
  okBtn->setGeometry(left, 78, 121, 25);
  okBtn->setDefault(true);
  noBtn = new QPushButton(QStringLiteral("Отмена"), this);
  noBtn->setObjectName("noBtn");
  noBtn->setGeometry(left + 128, 78, 121, 25);

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
