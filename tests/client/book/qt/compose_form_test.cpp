// The compose dialog on its own: part counter, text limit and the contact picker.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

#include "client/book/contact_store.h"
#include "client/book/qt/compose_form.h"
#include "client/book/qt/report_list.h"
#include "platform/codepage.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"

namespace {

class ComposeFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteContact(dir.path(), Ansi("Друзья"), "+79161234567", Ansi("Иван"));
    WriteContact(dir.path(), Ansi("Друзья"), "1234567", Ansi("Короткий"));
    WriteContact(dir.path(), "Work", "+79250000000", "Ann");
    WriteContact(dir.path(), "Work", "8800", "Bob");
    form.LoadPicker();
  }
  QTreeWidgetItem* Row(int i) { return form.ContactsList->Row(i); }

  TempDir dir;
  TComposeForm form{nullptr, dir.path()};
};

TEST_F(ComposeFormTest, CounterStartsEmptyAndFollowsTheText) {
  EXPECT_EQ(form.CounterLabel->text(), "Сообщений: 0");
  struct Case { QString text; QString shown; std::string sent; };
  const Case cases[] = {
      {QString(160, 'a'), "Сообщений: 1  Знаков: 160", std::string(160, 'a')},
      {QString(161, 'a'), "Сообщений: 2  Знаков: 161", std::string(161, 'a')},
      {"ж" + QString(70, 'a'), "Сообщений: 2  Знаков: 71", Ansi("ж") + std::string(70, 'a')},
      {"a\nb", "Сообщений: 1  Знаков: 4", "a\r\nb"},
      // A character the code page lacks counts the one byte it would take.
      {QString::fromUtf8("\xF0\x9F\x98\x80") + "a", "Сообщений: 1  Знаков: 2", "?a"},
      {"", "Сообщений: 1  Знаков: 0", ""},
  };
  for (const auto& c : cases) {
    form.MessageText->setPlainText(c.text);
    EXPECT_EQ(form.CounterLabel->text(), c.shown) << c.text.toStdString();
    EXPECT_EQ(form.MessageAnsi(), c.sent);
  }
}

// An SMS has no use for a tab: Tab moves on to the next field, as in the rest
// of the dialog.
TEST_F(ComposeFormTest, TabInTheMessageMovesOnAndTypesNothing) {
  form.show();
  form.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &form; }));
  form.MessageText->setFocus();
  form.MessageText->setPlainText("abc");
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
  QApplication::sendEvent(form.MessageText, &tab);
  EXPECT_EQ(form.MessageText->toPlainText(), "abc");
  EXPECT_NE(QApplication::focusWidget(), form.MessageText);
}

TEST_F(ComposeFormTest, TextNeverGrowsPastOnePacket) {
  form.MessageText->setPlainText(QString(1030, 'a'));
  EXPECT_EQ(form.MessageAnsi().size(), 1024u);

  form.MessageText->setPlainText(QString(1023, 'b'));
  QTextCursor cursor = form.MessageText->textCursor();
  cursor.movePosition(QTextCursor::Start);
  cursor.insertText("\n");  // a line break takes two bytes: it no longer fits
  EXPECT_EQ(form.MessageAnsi(), std::string(1023, 'b'));
  cursor.insertText("c");
  EXPECT_EQ(form.MessageAnsi(), "c" + std::string(1023, 'b'));
  EXPECT_EQ(form.CounterLabel->text(), "Сообщений: 7  Знаков: 1024");
}

TEST_F(ComposeFormTest, PickerListsEveryContactWithCheckBoxes) {
  ASSERT_EQ(form.ContactsList->RowCount(), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Row(i)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(form.GroupToSearch->count(), 2);
  EXPECT_EQ(form.GroupToSearch->currentText(), "");
}

TEST_F(ComposeFormTest, AddingCheckedSkipsNumbersAlreadyContained) {
  Row(0)->setCheckState(0, Qt::Checked);  // +79161234567
  Row(1)->setCheckState(0, Qt::Checked);  // 1234567, inside the first
  Row(3)->setCheckState(0, Qt::Checked);  // 8800
  form.pmAddCheckedClick();
  EXPECT_EQ(form.RecepientsEdit->text(), "+79161234567,8800");
  EXPECT_EQ(Row(0)->checkState(0), Qt::Checked);  // the checks stay
  form.pmAddCheckedClick();
  EXPECT_EQ(form.RecepientsEdit->text(), "+79161234567,8800");
}

TEST_F(ComposeFormTest, AddingAllTakesOnlyTheFilteredRows) {
  form.RecepientsEdit->setText("111");
  form.GroupToSearch->setEditText("work");
  ASSERT_EQ(form.ContactsList->RowCount(), 2);
  EXPECT_EQ(Row(0)->checkState(0), Qt::Unchecked);
  form.pmAddAllClick();
  EXPECT_EQ(form.RecepientsEdit->text(), "111,+79250000000,8800");

  form.GroupToSearch->setEditText("");
  form.NameToSearch->setText("ив");
  ASSERT_EQ(form.ContactsList->RowCount(), 1);
  EXPECT_EQ(Row(0)->text(0), "Иван");
}

TEST_F(ComposeFormTest, FilteringTurnsNoEventLoopAKeystrokeCouldReenterFrom) {
  bool ran = false;
  QMetaObject::invokeMethod(qApp, [&] { ran = true; }, Qt::QueuedConnection);  // as a waiting keystroke
  form.NameToSearch->setText("ив");
  EXPECT_FALSE(ran);
  ASSERT_EQ(form.ContactsList->RowCount(), 1);
  EXPECT_EQ(Row(0)->text(0), "Иван");
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(ran);
}

TEST_F(ComposeFormTest, AddingOneTakesTheSelectedRowOnly) {
  form.pmAddClick();
  EXPECT_EQ(form.RecepientsEdit->text(), "");
  Row(2)->setSelected(true);
  form.pmAddClick();
  form.pmAddClick();
  EXPECT_EQ(form.RecepientsEdit->text(), "+79250000000");
}

TEST(ComposeFormLayout, SearchLabelsShowTheirWholeTextWhateverTheFont) {
  const QFont before = QApplication::font();
  for (const int points : {8, 10, 13}) {
    SCOPED_TRACE(points);
    QFont font = before;
    font.setPointSize(points);
    QApplication::setFont(font);
    TempDir dir;
    TComposeForm form(nullptr, dir.path());
    for (const QLabel* label : form.ContactsSearchPanel->findChildren<QLabel*>()) {
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
      if (const QWidget* field = label->buddy()) {
        EXPECT_LT(label->geometry().right(), field->x());
      }
    }
    EXPECT_LT(form.NameToSearch->geometry().right(), form.GroupLabel->x());
    EXPECT_GT(form.NameToSearch->width(), 50);
    EXPECT_LE(form.GroupToSearch->geometry().right(), form.ContactsSearchPanel->width());
  }
  QApplication::setFont(before);
}

}  // namespace
