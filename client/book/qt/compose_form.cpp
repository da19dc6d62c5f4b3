#include "client/book/qt/compose_form.h"

#include <QComboBox>
#include <algorithm>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>

#include "client/book/part_counter.h"
#include "client/book/qt/address_book.h"
#include "client/book/qt/report_list.h"
#include "client/book/recipients.h"
#include "platform/qt/qt_text.h"

namespace {

const QString kCaptionStyle = QStringLiteral("background-color: rgb(166,202,240); font-weight: bold;");

QLabel* Heading(QWidget* parent, const QString& text, int y, int width) {
  auto* label = new QLabel(text, parent);
  label->setStyleSheet(kCaptionStyle);
  label->setGeometry(0, y, width, 20);
  return label;
}

// Windows-1251 bytes a character takes in the packet; a line break is CR LF.
int AnsiCost(QChar c) { return c == QLatin1Char('\n') ? 2 : 1; }

int AnsiLength(const QString& text) {
  int bytes = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()) continue;
    bytes += AnsiCost(text[i]);
  }
  return bytes;
}

// Start of the character that ends just before `pos`, keeping surrogate pairs whole.
qsizetype PreviousCharStart(const QString& text, qsizetype pos) {
  --pos;
  if (pos > 0 && text[pos].isLowSurrogate() && text[pos - 1].isHighSurrogate()) --pos;
  return pos;
}

}  // namespace

TComposeForm::TComposeForm(QWidget* owner, std::string appDir)
    : TCheckedDialog(owner), appDir_(std::move(appDir)) {
  setWindowTitle(QStringLiteral("Сообщение"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFixedSize(756, 322);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);

  ComposePanel = new QWidget(this);
  ComposePanel->setGeometry(0, 0, 340, 322);

  RecepientsPanel = new QWidget(ComposePanel);
  RecepientsPanel->setGeometry(0, 0, 340, 52);
  RecepientsCaption = Heading(RecepientsPanel, QStringLiteral(" Список получателей: "), 0, 340);
  RecepientsEdit = new QLineEdit(RecepientsPanel);
  RecepientsEdit->setObjectName("RecepientsEdit");
  RecepientsEdit->setGeometry(8, 25, 321, 22);
  RecepientsEdit->setMaxLength(1 << 24);  // a whole address book may be added

  MessageCaption = Heading(ComposePanel, QStringLiteral(" Текст сообщения: "), 54, 340);
  MessageText = new QTextEdit(ComposePanel);
  MessageText->setObjectName("MessageText");
  MessageText->setAcceptRichText(false);
  MessageText->setTabChangesFocus(true);  // an SMS has no use for a tab
  MessageText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MessageText->setGeometry(8, 79, 321, 177);

  CounterLabel = new QLabel(QStringLiteral("Сообщений: 0"), ComposePanel);
  CounterLabel->setObjectName("CounterLabel");
  CounterLabel->setStyleSheet(QStringLiteral("font-weight: bold;"));
  CounterLabel->setGeometry(8, 260, 321, 20);

  btnSend = new QPushButton(QStringLiteral("Отправить"), ComposePanel);
  btnSend->setObjectName("btnSend");
  btnSend->setGeometry(8, 288, 100, 25);
  btnAbort = new QPushButton(QStringLiteral("Отмена"), ComposePanel);
  btnAbort->setObjectName("btnAbort");
  btnAbort->setGeometry(116, 288, 100, 25);

  PanelContacts = new QWidget(this);
  PanelContacts->setGeometry(340, 0, 416, 322);
  ContactsSearchPanel = new QWidget(PanelContacts);
  ContactsSearchPanel->setGeometry(0, 0, 416, 53);
  CaptionSearch = Heading(ContactsSearchPanel, QStringLiteral(" Поиск"), 0, 416);
  auto* nameLabel = new QLabel(QStringLiteral("Имя абонента:"), ContactsSearchPanel);
  NameToSearch = new QLineEdit(ContactsSearchPanel);
  NameToSearch->setObjectName("NameToSearch");
  nameLabel->setBuddy(NameToSearch);
  GroupLabel = new QLabel(QStringLiteral("Группа:"), ContactsSearchPanel);
  GroupToSearch = new QComboBox(ContactsSearchPanel);
  GroupToSearch->setObjectName("GroupToSearch");
  GroupToSearch->setEditable(true);
  GroupToSearch->setInsertPolicy(QComboBox::NoInsert);
  GroupToSearch->setGeometry(292, 26, 116, 22);
  GroupLabel->setBuddy(GroupToSearch);
  // The labels take the width their text needs in the font in use (90 and 50
  // at the least), so a wider font never cuts them off; the name field gives way.
  const int nameWidth = std::max(90, nameLabel->sizeHint().width());
  const int groupWidth = std::max(50, GroupLabel->sizeHint().width());
  nameLabel->setGeometry(8, 26, nameWidth, 22);
  GroupLabel->setGeometry(GroupToSearch->x() - 2 - groupWidth, 26, groupWidth, 22);
  const int nameLeft = nameLabel->geometry().right() + 3;
  NameToSearch->setGeometry(nameLeft, 26, GroupLabel->x() - 10 - nameLeft, 22);

  ContactsList = new TReportList(
      {QStringLiteral("абонент"), QStringLiteral("номер телефона"), QStringLiteral("группа")}, true, PanelContacts);
  ContactsList->setObjectName("ContactsList");
  ContactsList->setGeometry(0, 55, 416, 267);
  ContactsList->setColumnWidth(kColName, 150);
  ContactsList->setColumnWidth(kColNumber, 130);
  ContactsList->setContextMenuPolicy(Qt::CustomContextMenu);

  PopupMenu = new QMenu(this);
  pmAdd = PopupMenu->addAction(QStringLiteral("Добавить"));
  pmAddAll = PopupMenu->addAction(QStringLiteral("Добавить всех"));
  pmAddChecked = PopupMenu->addAction(QStringLiteral("Добавить отмеченных"));

  connect(btnSend, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnAbort, &QPushButton::clicked, this, &QDialog::reject);
  connect(MessageText, &QTextEdit::textChanged, this, &TComposeForm::MessageTextChange);
  connect(NameToSearch, &QLineEdit::textChanged, this, &TComposeForm::NameToSearchChange);
  connect(GroupToSearch, &QComboBox::currentTextChanged, this, &TComposeForm::NameToSearchChange);
  connect(ContactsList, &QTreeWidget::itemDoubleClicked, this, &TComposeForm::pmAddClick);
  connect(ContactsList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu->popup(ContactsList->viewport()->mapToGlobal(at)); });
  connect(pmAdd, &QAction::triggered, this, &TComposeForm::pmAddClick);
  connect(pmAddAll, &QAction::triggered, this, &TComposeForm::pmAddAllClick);
  connect(pmAddChecked, &QAction::triggered, this, &TComposeForm::pmAddCheckedClick);
}

void TComposeForm::LoadPicker() {
  LoadGroupNames(appDir_, GroupToSearch);
  LoadContacts(appDir_, ContactsList);
  ShowCheckBoxes();
}

std::string TComposeForm::MessageAnsi() const {
  QString text = MessageText->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return ToAnsi(text);
}

std::string TComposeForm::RecipientsAnsi() const { return ToAnsi(RecepientsEdit->text()); }

void TComposeForm::MessageTextChange() {
  KeepWithinLimit();
  CounterLabel->setText(FromAnsi(PartCounterText(MessageAnsi())));
}

// Cuts what was typed or pasted past the limit, just before the cursor, so the
// whole text always fits one packet and nothing is clipped silently on sending.
void TComposeForm::KeepWithinLimit() {
  const QString text = MessageText->toPlainText();
  int excess = AnsiLength(text) - kMaxMessageBytes;
  if (excess <= 0) return;
  const QSignalBlocker quiet(MessageText);
  QTextCursor cursor = MessageText->textCursor();
  qsizetype end = cursor.position();
  if (end == 0) end = text.size();
  qsizetype start = end;
  while (start > 0 && excess > 0) {
    start = PreviousCharStart(text, start);
    excess -= AnsiCost(text[start]);
  }
  if (excess > 0) {  // nothing left before the cursor: cut the tail instead
    qsizetype tail = text.size();
    while (tail > end && excess > 0) {
      tail = PreviousCharStart(text, tail);
      excess -= AnsiCost(text[tail]);
    }
    cursor.setPosition(static_cast<int>(tail));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
  cursor.setPosition(static_cast<int>(start));
  cursor.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
  MessageText->setTextCursor(cursor);
}

void TComposeForm::NameToSearchChange() {
  FilterContacts(appDir_, NameToSearch->text(), GroupToSearch->currentText(), ContactsList);
  ShowCheckBoxes();
}

void TComposeForm::ShowCheckBoxes() {
  for (int i = 0; i < ContactsList->RowCount(); ++i) ContactsList->Row(i)->setCheckState(kColName, Qt::Unchecked);
}

void TComposeForm::pmAddClick() {
  const QTreeWidgetItem* selected = ContactsList->Selected();
  if (!selected) return;
  std::string recipients = RecipientsAnsi();
  AddRecipient(recipients, ToAnsi(selected->text(kColNumber)));
  RecepientsEdit->setText(FromAnsi(recipients));
}

void TComposeForm::pmAddAllClick() { AddNumbersOf(false); }

void TComposeForm::pmAddCheckedClick() { AddNumbersOf(true); }

void TComposeForm::AddNumbersOf(bool onlyChecked) {
  std::string recipients = RecipientsAnsi();
  for (int i = 0; i < ContactsList->RowCount(); ++i) {
    const QTreeWidgetItem* row = ContactsList->Row(i);
    if (onlyChecked && row->checkState(kColName) != Qt::Checked) continue;
    AddRecipient(recipients, ToAnsi(row->text(kColNumber)));
  }
  RecepientsEdit->setText(FromAnsi(recipients));
}
