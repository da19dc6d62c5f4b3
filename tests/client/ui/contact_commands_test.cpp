// The main window's contact commands and compose, driven as a user would: the
// dialogs are filled and closed by the test, message boxes answered by it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QTimer>
#include <QProgressBar>
#include <functional>
#include <optional>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>

#include "client/book/contact_store.h"
#include "client/book/qt/compose_form.h"
#include "client/book/qt/edit_form.h"
#include "client/book/qt/progress_form.h"
#include "client/book/qt/report_list.h"
#include "client/ui/access_form.h"
#include "client/ui/main_form.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "protocol/message_file.h"
#include "tests/client/core/loopback_server.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"

namespace {

using Texts = std::vector<std::string>;

// Runs `act` on the next modal dialog once it shows, then closes it with `accept`.
// Records whether a dialog of type D showed; any other is closed and counts as
// none. A dialog whose check refuses what was typed stays open: `kept` then
// sees it, and it is cancelled. Nothing is left pending once the driver is gone.
template <class D>
class DialogDriver {
 public:
  DialogDriver(std::function<void(D&)> act, bool accept, std::function<void(D&)> kept = {})
      : watcher_(OnNextDialog([this, act = std::move(act), accept, kept = std::move(kept)](QWidget* modal) {
          auto* dialog = qobject_cast<D*>(modal);
          if (!dialog) {
            modal->close();
            return;
          }
          shown = true;
          if (act) act(*dialog);
          if (!accept) return dialog->reject();
          dialog->accept();
          if (!dialog->isVisible()) return;
          keptOpen = true;
          if (kept) kept(*dialog);
          dialog->reject();
        })) {}
  bool shown = false;
  bool keptOpen = false;

 private:
  std::unique_ptr<QTimer> watcher_;
};

// Closes any modal dialog that shows: for commands that must not open one.
class NoDialogExpected {
 public:
  NoDialogExpected()
      : watcher_(OnNextDialog([this](QWidget* modal) {
          shown = true;
          modal->close();
        })) {}
  bool shown = false;

 private:
  std::unique_ptr<QTimer> watcher_;
};

std::vector<std::string> Rows(const TReportList* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->RowCount(); ++i) {
    const QTreeWidgetItem* r = list->Row(i);
    out.push_back((r->text(0) + "|" + r->text(1) + "|" + r->text(2)).toStdString());
  }
  return out;
}

std::vector<std::string> StoredRows(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& c : ReadAllContacts(dir)) out.push_back(AnsiToUtf8(c.name + "|" + c.number + "|" + c.group));
  return out;
}

std::vector<std::string> StoredGroups(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& g : ReadGroupNames(dir)) out.push_back(AnsiToUtf8(g));
  return out;
}

void WriteConfig(const std::string& dir, std::int32_t port) {
  WriteFileAtomically(PathJoin(dir, "Config.ini"),
                      "[CONNECTION]\r\nServerIP=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\n");
}

class ContactCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteContact(dir.path(), Ansi("Друзья"), "+79161234567", Ansi("Иван"));
    WriteContact(dir.path(), "Work", "8800", "Bob");
    WriteConfig(dir.path(), refusing.port());
    form = std::make_unique<TMainForm>(client, dir.path());
  }
  void TearDown() override { form.reset(); }

  // Runs a contact dialog command, filling the dialog with these texts. When
  // its check refuses them, `kept` gets what the dialog still holds.
  bool RunEdit(void (TMainForm::*command)(), const QString& name, const QString& number, const QString& group,
               bool accept = true, std::optional<QStringList>* kept = nullptr) {
    DialogDriver<TEditForm> driver(
        [&](TEditForm& f) {
          f.NameEdit->setText(name);
          f.NumEdit->setText(number);
          f.GroupSelect->setEditText(group);
        },
        accept,
        [&](TEditForm& f) {
          if (kept) *kept = QStringList{f.NameEdit->text(), f.NumEdit->text(), f.GroupSelect->currentText()};
        });
    if (kept) kept->reset();
    (form.get()->*command)();
    return driver.shown;
  }
  void Select(int row) { form->ContactsList->setCurrentItem(form->ContactsList->Row(row)); }

  TempDir dir;
  MessageBoxAnswers answers;
  RefusingPort refusing;
  stream_client client;
  std::unique_ptr<TMainForm> form;
};

TEST_F(ContactCommands, StartsWithEveryContactListed) {
  EXPECT_EQ(Rows(form->ContactsList), (Texts{"Иван|+79161234567|Друзья", "Bob|8800|Work"}));
}

TEST_F(ContactCommands, AddWithoutGroupAndEditClearingTheGroupShareOneSection) {
  QString caption;
  DialogDriver<TEditForm> driver(
      [&](TEditForm& f) {
        caption = f.windowTitle();
        EXPECT_EQ(f.NameEdit->text(), "");
        EXPECT_EQ(f.GroupSelect->count(), 2);  // every group of the book
        f.NameEdit->setText("Ann");
        f.NumEdit->setText("111");
      },
      true);
  form->actContactAddExecute();
  EXPECT_EQ(caption, "Создать новый");
  EXPECT_EQ(Rows(form->ContactsList).back(), "Ann|111|нет");

  Select(0);
  DialogDriver<TEditForm> edit(
      [&](TEditForm& f) {
        caption = f.windowTitle();
        EXPECT_EQ(f.NameEdit->text(), "Иван");
        EXPECT_EQ(f.NumEdit->text(), "+79161234567");
        EXPECT_EQ(f.GroupSelect->currentText(), "Друзья");
        EXPECT_EQ(f.GroupSelect->count(), 3);
        f.GroupSelect->setEditText("");
      },
      true);
  form->actContactEditExecute();
  EXPECT_EQ(caption, "Редактировать");
  EXPECT_EQ(Rows(form->ContactsList),
            (Texts{"Иван|+79161234567|Нет", "Bob|8800|Work", "Ann|111|нет"}));
  // The old group stays in the file, empty, until a full listing erases it.
  EXPECT_EQ(StoredGroups(dir.path()), (Texts{"Друзья", "Work", "нет"}));
  EXPECT_EQ(StoredRows(dir.path()), (Texts{"Bob|8800|Work", "Ann|111|нет", "Иван|+79161234567|нет"}));
  EXPECT_EQ(StoredGroups(dir.path()), (Texts{"Work", "нет"}));
  EXPECT_TRUE(answers.Asked().empty());
}

TEST_F(ContactCommands, DoubleClickAndABareAreaClickEditTheSelectedContact) {
  Select(1);
  QString shown;
  DialogDriver<TEditForm> byDoubleClick([&](TEditForm& f) { shown = f.NameEdit->text(); }, false);
  emit form->ContactsList->itemDoubleClicked(form->ContactsList->Row(1), 0);
  EXPECT_EQ(shown, "Bob");

  // A point where the client area has no child of its own.
  shown.clear();
  DialogDriver<TEditForm> byBareArea([&](TEditForm& f) { shown = f.NameEdit->text(); }, false);
  const QPointF bare(-1, -1);
  QMouseEvent release(QEvent::MouseButtonRelease, bare, bare, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->centralWidget(), &release);
  EXPECT_EQ(shown, "Bob");
}

TEST_F(ContactCommands, AddingAKnownNumberReplacesTheNameInTheFileOnly) {
  ASSERT_TRUE(RunEdit(&TMainForm::actContactAddExecute, "Robert", "8800", "work"));
  EXPECT_EQ(Rows(form->ContactsList), (Texts{"Иван|+79161234567|Друзья", "Bob|8800|Work", "Robert|8800|work"}));
  EXPECT_EQ(StoredRows(dir.path()), (Texts{"Иван|+79161234567|Друзья", "Robert|8800|Work"}));
}

TEST_F(ContactCommands, BadNumbersAndEmptyFieldsAreRefusedAndNothingChanges) {
  struct Case { QString name, number; const char* warning; };
  const Case cases[] = {
      {"Ann", "+7 916", "Номер телефона задан неверно!"},
      {"Ann", "916-12", "Номер телефона задан неверно!"},
      {"Ann", "916,12", "Номер телефона задан неверно!"},
      {"Ann", "", "Поля \"имя абонента\" и \"номер телефона\" не должны быть пустыми"},
      {"", "123", "Поля \"имя абонента\" и \"номер телефона\" не должны быть пустыми"},
  };
  const std::string before = ReadWholeFile(AddressBookPath(dir.path())).value_or("");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number.toStdString());
    MessageBoxAnswers asked;
    std::optional<QStringList> kept;
    ASSERT_TRUE(RunEdit(&TMainForm::actContactAddExecute, c.name, c.number, "G", true, &kept));
    EXPECT_EQ(kept, (QStringList{c.name, c.number, "G"})) << "the dialog stays open with what was typed";
    Select(1);
    ASSERT_TRUE(RunEdit(&TMainForm::actContactEditExecute, c.name, c.number, "G", true, &kept));
    EXPECT_EQ(kept, (QStringList{c.name, c.number, "G"}));
    EXPECT_EQ(asked.TextsUtf8(), (Texts{c.warning, c.warning}));
  }
  EXPECT_EQ(Rows(form->ContactsList), (Texts{"Иван|+79161234567|Друзья", "Bob|8800|Work"}));
  EXPECT_EQ(ReadWholeFile(AddressBookPath(dir.path())).value_or(""), before);
}

// Whatever the dialog accepts reads back byte for byte after a restart; what
// ab.db could not give back as typed is refused in the dialog, before anything
// is written, and the dialog keeps it.
TEST_F(ContactCommands, EveryAcceptedNameAndGroupReadsBackAfterARestart) {
  struct Accepted { QString name, number, group; };
  const Accepted accepted[] = {
      {"\"Рога и копыта\"", "101", "Г]руппа"},
      {"Иван", "102", "Г]руппа"},  // the second contact of that group
      {"  Маша  ", "103", "[Скобки]"},
      {"'одинарные'", "104", "\"В кавычках\""},
      {"a=b;c [x]", "105", ";не комментарий"},
      {"\"\"", "106", "Друзья"},
      {"Фёдор\tТаб \"", "107", "=Равно"},
  };
  for (const auto& c : accepted) {
    SCOPED_TRACE(c.name.toStdString());
    ASSERT_TRUE(RunEdit(&TMainForm::actContactAddExecute, c.name, c.number, c.group));
  }

  struct Refused { QString name, group; const char* warning; };
  const Refused refused[] = {
      {"Подделка\n+7666=Злодей", "", "Поле \"имя абонента\" не должно содержать переводов строки"},
      {"Ann", "Коллеги\r\n+7777=Чужой", "Поле \"группа\" не должно содержать переводов строки"},
      {"Ann", "  Друзья  ", "Поле \"группа\" не должно начинаться или кончаться пробелом"},
      {"Маша 😀", "", "Невозможно сохранить символы U+1F600: их нет в кодировке Windows-1251"},
      {"Ann", "Группа 你好", "Невозможно сохранить символы U+4F60, U+597D: их нет в кодировке Windows-1251"},
  };
  const std::string before = *ReadWholeFile(AddressBookPath(dir.path()));
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name.toStdString() + " / " + c.group.toStdString());
    MessageBoxAnswers asked;
    std::optional<QStringList> kept;
    ASSERT_TRUE(RunEdit(&TMainForm::actContactAddExecute, c.name, "200", c.group, true, &kept));
    EXPECT_EQ(kept, (QStringList{c.name, "200", c.group}));
    EXPECT_EQ(asked.TextsUtf8(), Texts{c.warning});
  }
  EXPECT_EQ(*ReadWholeFile(AddressBookPath(dir.path())), before) << "nothing refused was written";

  Texts expected{"Иван|+79161234567|Друзья", "\"\"|106|Друзья", "Bob|8800|Work"};
  const Texts groups{"Друзья", "Work", "Г]руппа", "[Скобки]", "\"В кавычках\"", ";не комментарий", "=Равно"};
  for (const auto& c : accepted)
    if (c.group != "Друзья") expected.push_back((c.name + "|" + c.number + "|" + c.group).toStdString());
  form.reset();  // a restart
  form = std::make_unique<TMainForm>(client, dir.path());
  EXPECT_EQ(Rows(form->ContactsList), expected);
  EXPECT_EQ(StoredGroups(dir.path()), groups);
  form->actSearchExecute();
  QStringList listed;
  for (int i = 0; i < form->GroupToSearch->count(); ++i) listed << form->GroupToSearch->itemText(i);
  EXPECT_EQ(listed.join('|').toStdString(), "Друзья|Work|Г]руппа|[Скобки]|\"В кавычках\"|;не комментарий|=Равно");
  form->GroupToSearch->setEditText("Г]руппа");
  EXPECT_EQ(Rows(form->ContactsList), (Texts{"\"Рога и копыта\"|101|Г]руппа", "Иван|102|Г]руппа"}));

  // Edited, a contact leaves its odd group whole, and the new one holds it.
  form->GroupToSearch->setEditText("");
  ASSERT_EQ(Rows(form->ContactsList)[5], "  Маша  |103|[Скобки]");
  Select(5);
  ASSERT_TRUE(RunEdit(&TMainForm::actContactEditExecute, "  Маша  ", "103", "\"В кавычках\""));
  form.reset();
  form = std::make_unique<TMainForm>(client, dir.path());
  EXPECT_THAT(Rows(form->ContactsList), ::testing::Contains("  Маша  |103|\"В кавычках\""));
  EXPECT_THAT(StoredGroups(dir.path()), ::testing::Not(::testing::Contains("[Скобки]")));
  EXPECT_TRUE(answers.Asked().empty());
}

TEST_F(ContactCommands, AnUnwritableBookIsReportedAndTheListShowsOnlyWhatIsStored) {
  // The file cannot be replaced while its side copy is blocked by a directory.
  ASSERT_EQ(::mkdir((AddressBookPath(dir.path()) + ".tmp").c_str(), 0700), 0);
  ASSERT_TRUE(RunEdit(&TMainForm::actContactAddExecute, "Ann", "111", "G"));
  Select(0);
  ASSERT_TRUE(RunEdit(&TMainForm::actContactEditExecute, "Ivan", "222", "G"));
  const std::string warning = "Не удалось записать файл " + AnsiToUtf8(AddressBookPath(dir.path()));
  EXPECT_EQ(answers.TextsUtf8(), (Texts{warning, warning}));
  EXPECT_EQ(Rows(form->ContactsList), (Texts{"Иван|+79161234567|Друзья", "Bob|8800|Work"}));
  EXPECT_EQ(StoredRows(dir.path()), (Texts{"Иван|+79161234567|Друзья", "Bob|8800|Work"}));
}

TEST_F(ContactCommands, CancelAndNoSelectionChangeNothing) {
  EXPECT_TRUE(RunEdit(&TMainForm::actContactAddExecute, "Ann", "111", "", false));
  form->ContactsList->clearSelection();
  NoDialogExpected none;
  form->actContactEditExecute();
  form->actContactRemoveExecute();
  QApplication::processEvents();
  EXPECT_FALSE(none.shown);
  EXPECT_TRUE(answers.Asked().empty());
  EXPECT_EQ(StoredRows(dir.path()), (Texts{"Иван|+79161234567|Друзья", "Bob|8800|Work"}));
}

TEST_F(ContactCommands, RemoveAsksFirstAndLeavesTheEmptyGroupUntilAFullListing) {
  Select(1);
  answers.SetAnswer(MbResult::No);
  form->actContactRemoveExecute();
  ASSERT_EQ(answers.Asked().size(), 1u);
  EXPECT_EQ(answers.TextsUtf8()[0], "Удалить запись \"Bob\" из списка контактов");
  EXPECT_EQ(answers.Asked()[0].buttons, MbButtons::OkNo);
  EXPECT_EQ(form->ContactsList->RowCount(), 2);

  answers.SetAnswer(MbResult::Ok);
  form->actContactRemoveExecute();
  EXPECT_EQ(Rows(form->ContactsList), (Texts{"Иван|+79161234567|Друзья"}));
  EXPECT_EQ(StoredGroups(dir.path()), (Texts{"Друзья", "Work"}));
  form->actSearchExecute();
  form->actSearchExecute();  // closing the panel lists everything again
  EXPECT_EQ(StoredGroups(dir.path()), (Texts{"Друзья"}));
}

TEST_F(ContactCommands, SearchPanelTakes51PixelsAndFiltersByNameAcrossGroups) {
  WriteContact(dir.path(), "Work", "7", Ansi("ивлев"));
  WriteContact(dir.path(), "Work", "8", Ansi("Игорь"));
  form->resize(800, 600);
  form->show();
  QApplication::processEvents();
  const int fullHeight = form->ContactsList->height();

  form->actSearchExecute();
  QApplication::processEvents();
  EXPECT_FALSE(form->ContactsSearchPanel->isHidden());
  EXPECT_EQ(form->ContactsList->height(), fullHeight - 51);
  EXPECT_EQ(form->GroupToSearch->count(), 2);
  EXPECT_EQ(form->ContactsList->RowCount(), 2);  // not filtered until a field changes

  form->NameToSearch->setText("ИВ");
  EXPECT_EQ(Rows(form->ContactsList), (Texts{"Иван|+79161234567|Друзья", "ивлев|7|Work"}));
  form->GroupToSearch->setEditText("work");
  EXPECT_EQ(Rows(form->ContactsList), (Texts{"ивлев|7|work"}));

  form->actSearchExecute();
  QApplication::processEvents();
  EXPECT_TRUE(form->ContactsSearchPanel->isHidden());
  EXPECT_EQ(form->ContactsList->height(), fullHeight);
  EXPECT_EQ(form->ContactsList->RowCount(), 4);
  EXPECT_EQ(form->NameToSearch->text(), "ИВ");  // the fields keep their texts
}

TEST_F(ContactCommands, ComposeWhileNotConnectedOnlyWarns) {
  NoDialogExpected none;
  form->actComposeExecute();
  QApplication::processEvents();
  EXPECT_FALSE(none.shown);
  EXPECT_EQ(answers.TextsUtf8(), (Texts{"Вы не подключены к серверу"}));
  EXPECT_EQ(AnsiToUtf8(answers.Asked()[0].caption), "Предупреждение");
}

// Compose with a connection to a loopback server that plays the server's part.
class Compose : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteContact(dir.path(), "Work", "8800", "Bob");
    WriteConfig(dir.path(), server.port());
    form = std::make_unique<TMainForm>(client, dir.path());
    peer = server.Accept();
    ASSERT_TRUE(peer.valid());
    ASSERT_TRUE(WaitUntil([&] { return client.connected(); }));
  }
  void TearDown() override { form.reset(); }

  // When the dialog's check refuses what was typed, `kept` gets what the
  // dialog still holds (recipients, text) and `selected` the message's selection.
  bool Run(const QString& recipients, const QString& text, bool send = true,
           std::optional<QStringList>* kept = nullptr, QString* selected = nullptr) {
    DialogDriver<TComposeForm> driver(
        [&](TComposeForm& f) {
          f.RecepientsEdit->setText(recipients);
          f.MessageText->setPlainText(text);
        },
        send,
        [&](TComposeForm& f) {
          if (kept) *kept = QStringList{f.RecepientsEdit->text(), f.MessageText->toPlainText()};
          if (selected) *selected = f.MessageText->textCursor().selectedText();
        });
    if (kept) kept->reset();
    form->actComposeExecute();
    return driver.shown;
  }
  std::vector<packet> Outbox() { return ReadMessageFile(PathJoin(dir.path(), "outbox.db")); }

  TempDir dir;
  MessageBoxAnswers answers;
  LoopbackServer server;
  stream_client client;
  std::unique_ptr<TMainForm> form;
  LoopbackPeer peer;
};

TEST_F(Compose, TwoRecipientsGiveTwoPacketsWithOneDateAppendedToTheOutbox) {
  const packet old = MakePacket(kPacketMessage, "+70000000000", "old", "01.01.2026 10:00:00");
  ASSERT_TRUE(WriteMessageFile(PathJoin(dir.path(), "outbox.db"), std::span(&old, 1)));
  ASSERT_TRUE(Run("+79161234567,8800", "abc"));
  const auto first = peer.Receive();
  const auto second = peer.Receive();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->number(), "+79161234567");
  EXPECT_EQ(second->number(), "8800");
  EXPECT_EQ(first->type(), kPacketMessage);
  EXPECT_EQ(first->text(), "abc");
  EXPECT_EQ(first->date(), second->date());
  EXPECT_FALSE(first->date().empty());
  EXPECT_EQ(Outbox(), (std::vector<packet>{old, *first, *second}));
  EXPECT_TRUE(answers.Asked().empty());
}

// Stray commas and blanks around the numbers make no recipients.
TEST_F(Compose, StrayCommasAndBlanksSendToTheTypedNumbersOnly) {
  ASSERT_TRUE(Run("+79161234567,,89161234567,", "x"));
  ASSERT_TRUE(Run(" 111 , ,222 ", "y"));
  std::vector<std::string> numbers;
  for (int i = 0; i < 4; ++i) {
    const auto p = peer.Receive();
    ASSERT_TRUE(p);
    numbers.emplace_back(p->number());
  }
  EXPECT_EQ(numbers, (Texts{"+79161234567", "89161234567", "111", "222"}));
  EXPECT_TRUE(peer.Quiet());
  EXPECT_EQ(Outbox().size(), 4u);
  EXPECT_TRUE(answers.Asked().empty());
}

// A refused compose is told before the dialog closes: the dialog stays open
// with everything typed, and nothing is sent or stored.
TEST_F(Compose, RefusedComposeKeepsTheTypedTextAndCancelledSendsNothing) {
  struct Case { QString recipients, text; bool send; const char* warning; };
  const Case cases[] = {
      {"111,222", "abc", false, nullptr},
      {"111 222", "Длинный текст\nв две строки", true, "Номер телефона задан неверно!"},
      {"111", "", true, "Невозможно отправить пустое сообщение"},
      {"", "abc", true, "Не определён список получателей"},
      {",, ,", "abc", true, "Не определён список получателей"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recipients.toStdString());
    MessageBoxAnswers asked;
    std::optional<QStringList> kept;
    ASSERT_TRUE(Run(c.recipients, c.text, c.send, &kept));
    EXPECT_EQ(asked.TextsUtf8(), c.warning ? Texts{c.warning} : Texts{});
    if (c.warning) {
      EXPECT_EQ(kept, (QStringList{c.recipients, c.text}));
    }
  }
  EXPECT_TRUE(peer.Quiet());
  EXPECT_FALSE(ReadWholeFile(PathJoin(dir.path(), "outbox.db")));
}

// What Windows-1251 lacks would go as "?": the characters are named and the
// first one selected, and the dialog stays open for the user to change them.
TEST_F(Compose, CharactersOutsideTheCodePageAreNamedBeforeSending) {
  std::optional<QStringList> kept;
  QString selected;
  ASSERT_TRUE(Run("111", "Привет 😀 你好 😀", true, &kept, &selected));
  EXPECT_EQ(answers.TextsUtf8(),
            Texts{"Невозможно отправить символы U+1F600, U+4F60, U+597D: их нет в кодировке Windows-1251"});
  EXPECT_EQ(kept, (QStringList{"111", "Привет 😀 你好 😀"}));
  EXPECT_EQ(selected, "😀");
  EXPECT_TRUE(peer.Quiet());
  EXPECT_FALSE(ReadWholeFile(PathJoin(dir.path(), "outbox.db")));
}

TEST_F(Compose, PickerAddsContactsToTheRecipients) {
  DialogDriver<TComposeForm> driver(
      [&](TComposeForm& f) {
        EXPECT_EQ(f.ContactsList->topLevelItemCount(), 1);
        f.MessageText->setPlainText("hi");
        f.pmAddAllClick();
      },
      true);
  form->actComposeExecute();
  const auto p = peer.Receive();
  ASSERT_TRUE(p);
  EXPECT_EQ(p->number(), "8800");
}

TEST_F(Compose, TheProgressWindowTurnsTheEventLoopAndTheMainWindowTakesNoInput) {
  form->show();
  std::set<int> shown;
  bool closable = true;
  QTimer watch;  // runs whenever the event loop turns
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* progress = FindTopLevel<TProgressForm>();
    if (!progress) return;
    if (shown.empty()) ClickAsUser(form->qmOutBox);  // no other command starts meanwhile
    shown.insert(progress->ProgressBar->value());
    closable = closable && QApplication::activeModalWidget() == nullptr;
  });
  watch.start(0);
  ASSERT_TRUE(Run("1,2,3", "abc"));
  EXPECT_EQ(shown, (std::set<int>{0, 1, 2, 3}));
  EXPECT_TRUE(closable) << "no modal window keeps the main window from closing";
  EXPECT_FALSE(form->PanelMessageBox->isVisible()) << "the click during the job did nothing";
  EXPECT_EQ(FindTopLevel<TProgressForm>(), nullptr);
  ClickAsUser(form->qmOutBox);
  EXPECT_TRUE(form->PanelMessageBox->isVisible()) << "the main window takes input again";
}

TEST_F(Compose, ClosingTheMainWindowDuringAJobStopsItAfterThePacketInHand) {
  form->show();
  bool closed = false;
  QObject::connect(form.get(), &TMainForm::Closed, [&] { closed = true; });
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* progress = FindTopLevel<TProgressForm>();
    if (progress && progress->ProgressBar->value() == 3 && !closed) form->close();
  });
  watch.start(0);
  ASSERT_TRUE(Run("1,2,3,4,5,6,7,8,9,10", "abc"));
  EXPECT_TRUE(closed);
  std::vector<packet> arrived;
  while (const auto p = peer.Receive()) arrived.push_back(*p);
  EXPECT_EQ(arrived.size(), 3u);
  EXPECT_EQ(Outbox(), arrived) << "the sent list holds exactly what was handed over";
  EXPECT_TRUE(answers.Asked().empty()) << "the program ends without a word";
}

// The server takes the connection, then stops reading: once the connection's
// small buffers are full, each packet waits for it.
class ComposeToAStalledServer : public Compose {
 protected:
  explicit ComposeToAStalledServer(std::chrono::milliseconds sendLimit = std::chrono::milliseconds(200)) {
    client.sendTimeout = sendLimit;
  }
  void SetUp() override {
    Compose::SetUp();
    const int small = 4096;
    ASSERT_EQ(::setsockopt(client.socket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    ASSERT_EQ(::setsockopt(peer.socket(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    // Tells when a packet waits for the connection, through the window's own wait.
    client.sendWait = [this, windowsWait = client.sendWait](int socket, SteadyTime deadline) {
      waiting = true;
      const bool writable = windowsWait(socket, deadline);
      waiting = false;
      return writable;
    };
  }
  static QString Numbers(int count) {
    QStringList numbers;
    for (int i = 0; i < count; ++i) numbers << QString::number(79000000000LL + i);
    return numbers.join(',');
  }
  std::vector<packet> Arrived() {
    std::vector<packet> arrived;
    while (const auto p = peer.Receive()) arrived.push_back(*p);
    return arrived;
  }

  bool waiting = false;
};

// While a packet waits, the event loop turns (the windows paint, a timer fires),
// but no window takes input: a window the receive thread shows (the login
// dialog) would put its answer in the middle of the packet. The job ends as it
// did: the packet fails once the limit is up, and so do the rest.
TEST_F(ComposeToAStalledServer, APacketWaitsInTheEventLoopAndOnlyWhatWasSentIsRecorded) {
  QDialog other;  // stands in for a window of the receive thread
  auto* button = new QPushButton(QStringLiteral("Вход"), &other);
  bool clicked = false;
  QObject::connect(button, &QPushButton::clicked, [&] { clicked = true; });
  other.show();
  int ticksWhileWaiting = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (!waiting) return;
    if (ticksWhileWaiting++ == 0) ClickAsUser(button);
  });
  tick.start(1);
  constexpr int kRecipients = 300;
  // The compose dialog is filled once it shows, whichever window is active.
  QTimer fill;
  QObject::connect(&fill, &QTimer::timeout, [&] {
    auto* compose = FindTopLevel<TComposeForm>();
    if (!compose) return;
    fill.stop();
    compose->RecepientsEdit->setText(Numbers(kRecipients));
    compose->MessageText->setPlainText("abc");
    compose->accept();
  });
  fill.start(5);
  form->actComposeExecute();
  EXPECT_FALSE(fill.isActive());
  EXPECT_GT(ticksWhileWaiting, 0);
  EXPECT_FALSE(clicked) << "the click while the packet waited did nothing";
  EXPECT_FALSE(client.connected());

  // The server reads again: what reaches it is exactly what the sent list holds.
  const auto arrived = Arrived();
  const auto recorded = Outbox();
  EXPECT_EQ(recorded, arrived);
  ASSERT_LT(recorded.size(), static_cast<std::size_t>(kRecipients));
  const std::string told = "Не отправлено сообщений: " + std::to_string(kRecipients - recorded.size()) + " из 300";
  EXPECT_THAT(answers.TextsUtf8(), ::testing::Contains(told));
}

// A limit the test would never wait out.
class ComposeToAServerThatNeverReads : public ComposeToAStalledServer {
 protected:
  ComposeToAServerThatNeverReads() : ComposeToAStalledServer(std::chrono::minutes(10)) {}
};

TEST_F(ComposeToAServerThatNeverReads, ClosingWhileAPacketWaitsEndsTheJobAtOnce) {
  form->show();
  bool closed = false;
  QObject::connect(form.get(), &TMainForm::Closed, [&] { closed = true; });
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (waiting && !closed) form->close();
  });
  tick.start(1);
  ASSERT_TRUE(Run(Numbers(300), "abc"));
  EXPECT_TRUE(closed);
  EXPECT_EQ(Outbox(), Arrived()) << "the packet in hand was not handed over, nor recorded";
  EXPECT_FALSE(Outbox().empty());
  EXPECT_TRUE(answers.Asked().empty()) << "the program ends without a word";
}

}  // namespace
