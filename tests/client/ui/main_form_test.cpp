#include "client/ui/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "client/book/qt/report_list.h"
#include "client/core/client_config.h"
#include "client/book/qt/compose_form.h"
#include "client/ui/access_form.h"
#include "client/ui/config_form.h"
#include "client/ui/load_mailbox.h"
#include "client/ui/program_entry.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/qt/message_box_qt.h"
#include "platform/qt/qt_russian.h"
#include "protocol/message_file.h"
#include "tests/client/core/loopback_server.h"
#include "tests/client/ui/log_in_driver.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"

namespace {

const QColor kBlue(0, 0, 255);

QColor TextColour(const QToolButton* button) { return button->palette().color(QPalette::ButtonText); }

bool Paints(QWidget* widget, const QColor& colour) {
  const QImage image = widget->grab().toImage();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y).rgb() == colour.rgb()) return true;
  return false;
}

// Each row of a list as "number|date|text".
std::vector<std::string> Rows(const QTreeView* list) {
  std::vector<std::string> rows;
  const QAbstractItemModel* model = list->model();
  for (int r = 0; r < model->rowCount(); ++r) {
    QStringList texts;
    for (int c = 0; c < model->columnCount(); ++c) texts << model->index(r, c).data().toString();
    rows.push_back(texts.join('|').toStdString());
  }
  return rows;
}

// The captions as they read: a mnemonic's "&" only underlines its letter.
QStringList MenuTexts(const QWidget* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions())
    texts << (a->isSeparator() ? QStringLiteral("-") : QString(a->text()).remove(u'&'));
  return texts;
}

// A main window connected to a loopback server, with message boxes answered.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteClientConfig(dir.path(), ClientConfig{"127.0.0.1", server.port()}));
    form = std::make_unique<TMainForm>(client, dir.path());
    peer = server.Accept();
    ASSERT_TRUE(peer.valid());
    ASSERT_TRUE(WaitUntil([&] { return client.connected(); }));
  }
  void TearDown() override { form.reset(); }

  bool WaitForBoxes(std::size_t count) {
    return WaitUntil([&] { return boxes.Asked().size() >= count; });
  }
  std::string File(const char* name) const { return PathJoin(dir.path(), name); }
  // The server accepts the login: the user's requests go from then on.
  void ExpectAFetchOnceTheLoginIsAccepted() {
    ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginAccepted)));
    ASSERT_TRUE(WaitUntil([&] { return !client.LoginPending(); }));
    form->PerformMailCheck->trigger();
    const auto request = peer.Receive();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->type(), kPacketFetch);
  }

  TempDir dir;
  LoopbackServer server;
  MessageBoxAnswers boxes;
  stream_client client;
  std::unique_ptr<TMainForm> form;
  LoopbackPeer peer;
};

// Records where the window connects and reaches no network: nothing here
// depends on what listens at 8099 on this machine.
class RecordingClient : public stream_client {
 public:
  std::unique_ptr<PendingConnect> BeginConnect(std::string_view address) override {
    attempts.emplace_back(std::string(address), port);
    return nullptr;
  }
  std::vector<std::pair<std::string, std::int32_t>> attempts;
};

// That the start connects at all is every MainFormTest's set-up.
TEST(MainFormStart, WithoutConfigConnectsTo127001Port8099) {
  TempDir dir;
  MessageBoxAnswers boxes;
  RecordingClient client;
  TMainForm form(client, dir.path());
  ASSERT_FALSE(form.ConnectPending());
  EXPECT_EQ(client.attempts, (std::vector<std::pair<std::string, std::int32_t>>{{"127.0.0.1", 8099}}));
  EXPECT_EQ(form.GetServerIP(), "127.0.0.1");
  EXPECT_EQ(form.CurrentStatusLine().text, "Не подключен");
  EXPECT_TRUE(boxes.Asked().empty()) << "no message box at start";
  EXPECT_FALSE(std::filesystem::exists(ClientConfigPath(dir.path()))) << "start writes no settings";
}

TEST(MainFormStart, ServerDownShowsOnlyTheStatusLine) {
  TempDir dir;
  MessageBoxAnswers boxes;
  RefusingPort refusing;
  ASSERT_TRUE(WriteClientConfig(dir.path(), ClientConfig{"127.0.0.1", refusing.port()}));
  stream_client client;
  TMainForm form(client, dir.path());
  ASSERT_TRUE(WaitUntil([&] { return !form.ConnectPending(); }));
  EXPECT_FALSE(client.connected());
  EXPECT_EQ(form.CurrentStatusLine().text, "Не подключен");
  EXPECT_TRUE(boxes.Asked().empty());
}

// A main window's server whose queue is full: a connect to it gets no answer.
class MainFormBesideASilentServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteClientConfig(dir.path(), ClientConfig{"127.0.0.1", silent.port()})); }

  TempDir dir;
  MessageBoxAnswers boxes;
  SilentListener silent;
  stream_client client;
};

// The server's answer is awaited in the event loop: the window shows and takes
// input meanwhile, and the connect ends as it did, once the limit is up.
TEST_F(MainFormBesideASilentServer, TheConnectHoldsNothingAndIsGivenUpAfterTheLimit) {
  client.connectTimeout = std::chrono::seconds(1);
  TMainForm form(client, dir.path());
  form.show();
  EXPECT_TRUE(form.ConnectPending()) << "the window is there before the server answers";
  int ticks = 0;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (form.ConnectPending()) ++ticks;
  });
  tick.start(1);
  ASSERT_TRUE(WaitUntil([&] { return ticks > 0; }));
  ClickAsUser(form.qmOutBox);
  EXPECT_TRUE(form.PanelMessageBox->isVisible()) << "the window takes input while the connect waits";

  // The connect command joins the connect under way, whose failure it tells.
  form.actConnect->trigger();
  EXPECT_TRUE(form.ConnectPending());
  ASSERT_TRUE(WaitUntil([&] { return !form.ConnectPending(); }));
  EXPECT_FALSE(client.connected());
  EXPECT_EQ(form.CurrentStatusLine().text, "Не подключен");
  EXPECT_TRUE(Paints(form.StatusPanel, QColor(255, 0, 0)));
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"Сервер не отвечает"});

  client.connectTimeout = std::chrono::milliseconds(200);
  form.actConnect->trigger();  // a connect of its own, with the same wait and warning
  EXPECT_TRUE(form.ConnectPending()) << "the command returns at once";
  ASSERT_TRUE(WaitUntil([&] { return boxes.Asked().size() == 2; }));
  EXPECT_EQ(boxes.TextsUtf8()[1], "Сервер не отвечает");
  EXPECT_EQ(form.CurrentStatusLine().text, "Не подключен");
}

TEST_F(MainFormBesideASilentServer, AConnectThatWaitsIsNoReasonToStayOpen) {
  client.connectTimeout = std::chrono::minutes(10);
  TMainForm form(client, dir.path());
  bool closed = false;
  QObject::connect(&form, &TMainForm::Closed, [&] { closed = true; });
  form.show();
  EXPECT_TRUE(form.close());
  EXPECT_TRUE(closed);
  EXPECT_FALSE(form.ConnectPending()) << "the connect was given up";
  QApplication::processEvents();
  EXPECT_TRUE(boxes.Asked().empty());
}

TEST(StatusLine, TextsAndColoursOfBothStates) {
  const StatusLine on = ConnectionStatusLine(true, "10.0.0.1");
  EXPECT_EQ(on.text, "Подключен к 10.0.0.1");
  EXPECT_EQ(on.colour, QColor(0, 128, 0));
  const StatusLine off = ConnectionStatusLine(false, "10.0.0.1");
  EXPECT_EQ(off.text, "Не подключен");
  EXPECT_EQ(off.colour, QColor(255, 0, 0));
}

TEST_F(MainFormTest, StatusLineTurnsRedOnceTheLostConnectionIsReported) {
  EXPECT_EQ(form->CurrentStatusLine().text, "Подключен к 127.0.0.1");
  EXPECT_TRUE(Paints(form->StatusPanel, QColor(0, 128, 0)));

  peer.Close();
  ASSERT_TRUE(WaitForBoxes(1));
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"Сервер сбросил соединение"});
  EXPECT_EQ(boxes.Asked()[0].caption, "127.0.0.1");
  EXPECT_EQ(form->CurrentStatusLine().text, "Не подключен");
  EXPECT_TRUE(Paints(form->StatusPanel, QColor(255, 0, 0)));
  EXPECT_FALSE(Paints(form->StatusPanel, QColor(0, 128, 0)));
}

TEST_F(MainFormTest, ReceivedMessagesAreStoredInOrderAndListed) {
  ASSERT_TRUE(peer.Send(MakePacket(kPacketMessage, "+79001112233", Ansi("первое"), "09.12.2026 10:00:00")));
  ASSERT_TRUE(peer.Send(MakePacket(kPacketMessage, "+79004445566", "second", "09.12.2026 10:05:00")));
  ASSERT_TRUE(WaitUntil([&] { return ReadMessageFile(File("inbox.db")).size() == 2; }));

  form->mmInBox->trigger();
  EXPECT_EQ(form->PanelMBCaption->text(), " Принятые");
  EXPECT_EQ(Rows(form->MessageTable),
            (std::vector<std::string>{"+79001112233|09.12.2026 10:00:00|первое", "+79004445566|09.12.2026 10:05:00|second"}));
}

TEST_F(MainFormTest, LoginDialogSendsTheTypedNameCutTo24AndThePassword) {
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLogin)));
  TAccessForm* dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindTopLevel<TAccessForm>()) != nullptr; }));
  EXPECT_EQ(dialog->windowTitle(), "Авторизация");
  EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(dialog->UserPassword->echoMode(), QLineEdit::Password);

  dialog->UserName->setText(QStringLiteral("Администратор_отдела_1234"));  // 25 characters
  EXPECT_EQ(dialog->UserName->text().size(), 25);
  dialog->UserPassword->setText(QStringLiteral("пароль"));
  dialog->OKButton->click();

  const auto answer = peer.Receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->type(), kPacketLogin);
  EXPECT_EQ(answer->number(), Ansi("Администратор_отдела_123"));
  EXPECT_EQ(answer->text(), Ansi("пароль"));
  EXPECT_TRUE(PacketVerify(*answer));
  EXPECT_TRUE(WaitUntil([] { return FindTopLevel<TAccessForm>() == nullptr; }));

  ExpectAFetchOnceTheLoginIsAccepted();
  EXPECT_TRUE(boxes.Asked().empty());
}

// The server ends the connection on anything but the login it asked for: until
// it has accepted one, a request says so and offers the login again.
TEST_F(MainFormTest, BeforeTheLoginIsAcceptedNothingGoesAndTheLoginIsOfferedAgain) {
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLogin)));
  TAccessForm* dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindTopLevel<TAccessForm>()) != nullptr; }));
  EXPECT_FALSE(dialog->close()) << "a close box, should a window manager draw one, does nothing";
  EXPECT_TRUE(dialog->isVisible());

  // While it is up, a request brings it to the front.
  boxes.SetAnswer(MbResult::Yes);
  form->PerformMailCheck->trigger();
  EXPECT_TRUE(dialog->isVisible());
  dialog->reject();  // Escape puts it away unanswered
  ASSERT_TRUE(WaitUntil([] { return FindTopLevel<TAccessForm>() == nullptr; }));

  const std::string needed = "Сервер требует авторизации. Войти?";
  boxes.SetAnswer(MbResult::No);
  bool composeShown = false;
  {
    const auto watcher = OnNextDialog([&](QWidget* w) {
      composeShown = true;
      w->close();
    });
    form->actCompose->trigger();
    form->PerformMailCheck->trigger();
    QApplication::processEvents();
  }
  EXPECT_FALSE(composeShown) << "no compose dialog before the login";
  EXPECT_EQ(boxes.TextsUtf8(), (std::vector<std::string>{needed, needed, needed}));
  EXPECT_EQ(boxes.Asked().back().buttons, MbButtons::YesNo);
  EXPECT_TRUE(peer.Quiet()) << "nothing went to the server";
  EXPECT_TRUE(client.connected());
  EXPECT_EQ(form->CurrentStatusLine().text, "Подключен к 127.0.0.1");

  // Yes: the login dialog again, whose answer goes on the same connection.
  boxes.SetAnswer(MbResult::Yes);
  {
    const auto watcher = LogInOnNextDialog("ivan", "Secret1");
    form->PerformMailCheck->trigger();
  }
  const auto answer = peer.Receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->type(), kPacketLogin);
  EXPECT_EQ(answer->number(), "ivan");
  EXPECT_TRUE(peer.Quiet()) << "the request that offered the login went no further";

  ExpectAFetchOnceTheLoginIsAccepted();
  EXPECT_EQ(boxes.Asked().size(), 4u);
}

TEST_F(MainFormTest, LoginDialogClosedWithoutConfirmingSendsNothing) {
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLogin)));
  TAccessForm* dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindTopLevel<TAccessForm>()) != nullptr; }));
  dialog->UserName->setText(QStringLiteral("user"));
  dialog->reject();  // what the close keystroke does
  // The next packet is read only after the dialog is over.
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginRefused)));
  ASSERT_TRUE(WaitForBoxes(1));
  EXPECT_TRUE(peer.Quiet());
  EXPECT_TRUE(client.connected());
}

TEST_F(MainFormTest, RefusalThenTheLostConnectionAreBothReported) {
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLoginRefused)));
  ASSERT_TRUE(WaitForBoxes(1));
  peer.Close();
  ASSERT_TRUE(WaitForBoxes(2));
  EXPECT_EQ(boxes.TextsUtf8(), (std::vector<std::string>{"Отказ в регистрации", "Сервер сбросил соединение"}));
  for (const auto& box : boxes.Asked()) EXPECT_EQ(box.caption, "127.0.0.1");
  EXPECT_EQ(form->CurrentStatusLine().text, "Не подключен");
}

TEST_F(MainFormTest, MailCheckSendsRequestWhenConnectedAndWarnsWhenNot) {
  form->PerformMailCheck->trigger();
  const auto request = peer.Receive();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->type(), kPacketFetch);
  EXPECT_EQ(request->number(), "REQUEST");
  EXPECT_FALSE(request->date().empty());
  EXPECT_EQ(request->length(), 0);
  EXPECT_TRUE(boxes.Asked().empty());

  peer.Close();
  ASSERT_TRUE(WaitForBoxes(1));
  form->PerformMailCheck->trigger();
  ASSERT_EQ(boxes.Asked().size(), 2u);
  EXPECT_EQ(boxes.TextsUtf8()[1], "Подключение к серверу не установлено");
  EXPECT_EQ(boxes.Asked()[1].caption, Ansi("Предупреждение"));
}

TEST_F(MainFormTest, ConnectCommandDoesNothingWhileConnectedAndReconnectsAfterwards) {
  form->actConnect->trigger();
  EXPECT_FALSE(server.Pending()) << "no second connection";
  EXPECT_TRUE(peer.Quiet());

  peer.Close();
  ASSERT_TRUE(WaitForBoxes(1));
  form->actConnect->trigger();
  LoopbackPeer again = server.Accept();
  ASSERT_TRUE(again.valid());
  ASSERT_TRUE(WaitUntil([&] { return client.connected(); }));
  EXPECT_EQ(form->CurrentStatusLine().text, "Подключен к 127.0.0.1");
  // The new connection has its receive thread.
  ASSERT_TRUE(again.Send(MakePacket(kPacketMessage, "+7", "after reconnect")));
  EXPECT_TRUE(WaitUntil([&] { return ReadMessageFile(File("inbox.db")).size() == 1; }));
}

TEST_F(MainFormTest, ConnectCommandWithTheServerDownSaysSo) {
  peer.Close();
  ASSERT_TRUE(WaitForBoxes(1));
  RefusingPort refusing;
  client.port = refusing.port();
  form->actConnect->trigger();
  ASSERT_TRUE(WaitForBoxes(2));
  ASSERT_EQ(boxes.Asked().size(), 2u);
  EXPECT_EQ(boxes.TextsUtf8()[1], "Сервер не отвечает");
  EXPECT_EQ(boxes.Asked()[1].caption, "127.0.0.1");
  EXPECT_EQ(form->CurrentStatusLine().text, "Не подключен");
}

TEST_F(MainFormTest, MenuAndQuickMenuChooseTheSameViewAndHighlight) {
  struct Case {
    const char* name;
    std::function<void()> choose;
    QToolButton* TMainForm::*button;
    bool contacts;
  };
  const std::vector<Case> cases = {
      {"sent, menu", [&] { form->mmOutBox->trigger(); }, &TMainForm::qmOutBox, false},
      {"contacts, button", [&] { form->qmContacts->click(); }, &TMainForm::qmContacts, true},
      {"received, button", [&] { form->qmInBox->click(); }, &TMainForm::qmInBox, false},
      {"sent, button", [&] { form->qmOutBox->click(); }, &TMainForm::qmOutBox, false},
      {"received, menu", [&] { form->mmInBox->trigger(); }, &TMainForm::qmInBox, false},
      {"contacts, menu", [&] { form->mmContacts->trigger(); }, &TMainForm::qmContacts, true},
  };
  form->show();
  EXPECT_TRUE(form->PanelContacts->isVisible());
  EXPECT_FALSE(form->PanelMessageBox->isVisible());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.choose();
    for (QToolButton* b : {form->qmCompose, form->qmOutBox, form->qmInBox, form->qmContacts, form->qmOptions})
      EXPECT_EQ(TextColour(b), b == form.get()->*c.button ? kBlue : QColor(Qt::black)) << b->text().toStdString();
    EXPECT_EQ(form->PanelContacts->isVisible(), c.contacts);
    EXPECT_EQ(form->PanelMessageBox->isVisible(), !c.contacts);
  }
  form->ResetQuickMenuHighlight();
  for (QToolButton* b : {form->qmCompose, form->qmOutBox, form->qmInBox, form->qmContacts, form->qmOptions})
    EXPECT_EQ(TextColour(b), QColor(Qt::black));
}

TEST_F(MainFormTest, MenusAreBuiltWithTheirSeparatorsAndContactCommands) {
  EXPECT_EQ(MenuTexts(form->MainMenu), (QStringList{"Файл", "Сервис"}));
  EXPECT_EQ(MenuTexts(form->mmFile), (QStringList{"Принятые", "Отправленные", "Контакты", "-", "Выход"}));
  EXPECT_EQ(MenuTexts(form->mmServices), (QStringList{"Подключиться к серверу", "Считать сообщения",
                                                      "Написать сообщение", "-", "Список контактов", "-",
                                                      "Настройки"}));
  EXPECT_EQ(MenuTexts(form->mmContactsList), (QStringList{"Добавить", "Редактировать", "Удалить", "-", "Поиск"}));
  EXPECT_EQ(MenuTexts(form->PopupMenu), (QStringList{"Добавить", "Редактировать", "Удалить"}));
  EXPECT_EQ(form->windowTitle(), "Trelm SMS Клиент");
  EXPECT_EQ(form->minimumSize(), QSize(696, 478));
  EXPECT_FALSE(form->ContactsSearchPanel->isVisibleTo(form.get()));
}

// Every menu and item can be reached from the keyboard: each has a letter of
// its own in its menu, F10 opens the first menu, "Выход" has the usual keys.
TEST_F(MainFormTest, MenusAreReachableFromTheKeyboard) {
  const std::vector<const QWidget*> menus{form->MainMenu, form->mmFile, form->mmServices, form->mmContactsList};
  for (const QWidget* menu : menus) {
    std::set<QString> letters;
    for (const QAction* a : menu->actions()) {
      if (a->isSeparator()) continue;
      const QKeySequence mnemonic = QKeySequence::mnemonic(a->text());
      EXPECT_FALSE(mnemonic.isEmpty()) << a->text().toStdString();
      EXPECT_TRUE(letters.insert(mnemonic.toString().toLower()).second) << a->text().toStdString();
    }
  }
  EXPECT_EQ(form->mmClose->shortcut(), QKeySequence(QKeySequence::Quit));
  EXPECT_EQ(form->ContactAdd->text(), "Добавить") << "tool buttons read as before";
  EXPECT_EQ(form->qmOptions->text(), "Настройки");

  form->show();
  QAction* f10 = nullptr;
  for (QAction* a : form->actions())
    if (a->shortcut() == QKeySequence(Qt::Key_F10)) f10 = a;
  ASSERT_NE(f10, nullptr);
  f10->trigger();
  EXPECT_EQ(form->MainMenu->activeAction(), form->mmFile->menuAction());
  form->mmFile->close();
}

// The status line shows a long address whole when the window has the room,
// and a box is never narrower than its caption.
TEST_F(MainFormTest, TheStatusLineAndANarrowBoxShowTheirWholeText) {
  form->resize(1200, 600);
  form->show();
  QApplication::processEvents();
  QFont bold = form->StatusPanel->font();
  bold.setBold(true);
  const QString line = "Подключен к " + QString(60, u'x');
  EXPECT_GE(form->StatusPanel->width(), QFontMetrics(bold).horizontalAdvance(line) + 5);

  const MessageBoxHandler answered = SetMessageBoxHandler({});
  InstallQtMessageBoxes(/*dialogsWhenOffscreen=*/true);
  int boxWidth = 0;
  int captionWidth = 0;
  const auto watcher = OnNextModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    captionWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
    boxWidth = box->width();
    box->button(QMessageBox::Ok)->click();
  });
  MessageBox(Ansi("IP адрес не задан!"), Ansi("Предупреждение"), MbButtons::Ok, MbIcon::Warning);
  SetMessageBoxHandler(answered);
  EXPECT_GT(captionWidth, 0);
  EXPECT_GE(boxWidth, captionWidth + 100) << "room for the caption beside the title bar's icon and buttons";
}

TEST_F(MainFormTest, ClosingTheWindowDisconnectsWithoutAMessage) {
  bool closed = false;
  QObject::connect(form.get(), &TMainForm::Closed, [&] { closed = true; });
  form->show();
  form->mmClose->trigger();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(client.connected());
  EXPECT_TRUE(peer.WaitClosedByClient());
  QApplication::processEvents();
  EXPECT_TRUE(boxes.Asked().empty()) << "the program ends without reporting its own close";
}

TEST_F(MainFormTest, ClosingWhileTheLoginDialogIsOpenEndsCleanly) {
  ASSERT_TRUE(peer.Send(MakePacket(kPacketLogin)));
  ASSERT_TRUE(WaitUntil([] { return FindTopLevel<TAccessForm>() != nullptr; }));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the main window stays usable";
  form->close();
  EXPECT_TRUE(peer.WaitClosedByClient());
  form.reset();  // joins the receive thread, which no longer waits for the dialog
  EXPECT_TRUE(boxes.Asked().empty());
}

// The visible message box with this text, or nullptr.
QMessageBox* FindBox(const QString& text) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->text() == text) return box;
  return nullptr;
}

// Two boxes up at once: the receive thread's, and one of a command raised while
// the first is the active window. Each waits for its own answer: answering the
// first leaves the second up, and the window takes input once both are done.
class TwoBoxes : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    answered = SetMessageBoxHandler({});
    InstallClientMessageBoxes(*form, /*dialogsWhenOffscreen=*/true);
    form->show();
  }
  void TearDown() override {
    MainFormTest::TearDown();
    SetMessageBoxHandler(answered);
  }
  // The server goes away; its box is up and the active window.
  void ServerGoes() {
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return (gone = FindBox(kGone)) != nullptr; }));
    gone->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == gone; }));
  }
  // Answers the server's box first, then, once it is gone, the command's box,
  // which must still be up. True once both are answered.
  bool AnswerBoth(const QString& commandText) {
    if (!goneAnswered) {
      if (!gone) {
        ADD_FAILURE() << "the server's box went before it was answered";
        return true;
      }
      command = FindBox(commandText);
      if (!command) return false;
      EXPECT_EQ(command->parentWidget(), form.get()) << "a box belongs to the main window, never to a box";
      gone->button(QMessageBox::Ok)->click();
      goneAnswered = true;
      return false;
    }
    if (gone) return false;  // goes a turn later
    if (!command) {
      ADD_FAILURE() << "the command's box went with the other one, unanswered";
      return true;
    }
    EXPECT_TRUE(command->isVisible()) << "the command's box stays until answered";
    command->button(QMessageBox::Ok)->click();
    return true;
  }
  // Starts the command and calls `step` every few milliseconds, also while the
  // command waits, until it returns true. Then nothing is left up, the window
  // takes input and closes.
  void Drive(const std::function<void()>& command, const std::function<bool()>& step) {
    bool done = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] { done = done || step(); });
    driver.start(5);
    command();
    ASSERT_TRUE(WaitUntil([&] { return done; }));
    driver.stop();
    EXPECT_EQ(FindTopLevel<QMessageBox>(), nullptr);
    ClickAsUser(form->qmOutBox);
    EXPECT_TRUE(form->PanelMessageBox->isVisible()) << "the window takes input again";
    EXPECT_TRUE(form->close());
    form.reset();
  }

  const QString kGone = QStringLiteral("Сервер сбросил соединение");
  MessageBoxHandler answered;
  QPointer<QMessageBox> gone;
  QPointer<QMessageBox> command;
  bool goneAnswered = false;
};

TEST_F(TwoBoxes, TheLostConnectionAndTheJobsPacketsNotSent) {
  bool accepted = false;
  Drive([&] { form->actCompose->trigger(); },
        [&] {
          if (auto* compose = FindTopLevel<TComposeForm>(); compose && !accepted) {
            compose->RecepientsEdit->setText("1,2,3");
            compose->MessageText->setPlainText("abc");
            ServerGoes();  // while the dialog is open: the job's packets find no connection
            accepted = true;
            compose->accept();
            return false;
          }
          return accepted && AnswerBoth(QStringLiteral("Не отправлено сообщений: 3 из 3"));
        });
  EXPECT_FALSE(std::filesystem::exists(File("outbox.db"))) << "nothing listed as sent";
}

TEST_F(TwoBoxes, TheLostConnectionAndANewPortTheServerRefuses) {
  ServerGoes();
  RefusingPort refusing;
  bool saved = false;
  Drive([&] { form->actOptions->trigger(); },
        [&] {
          if (auto* settings = FindTopLevel<TConfigForm>(); settings && !saved) {
            saved = true;
            settings->RemotePort->setText(QString::number(refusing.port()));
            settings->btnSave->click();
            return false;
          }
          return saved && AnswerBoth(QStringLiteral("Сервер не отвечает"));
        });
}

// The box a command raises while the server's box is the active window.
TEST_F(TwoBoxes, TheLostConnectionAndAConnectTheServerRefuses) {
  ServerGoes();
  RefusingPort refusing;
  client.port = refusing.port();
  Drive([&] { form->actConnect->trigger(); }, [&] { return AnswerBoth(QStringLiteral("Сервер не отвечает")); });
}

// Whatever takes a command's box away, the command's wait ends with it.
TEST_F(MainFormTest, ACommandsWaitEndsWhenItsBoxIsGone) {
  form->show();
  auto* box = new QMessageBox(QMessageBox::Warning, "caption", "text", QMessageBox::Ok, form.get());
  QTimer::singleShot(10, box, [box] { delete box; });
  EXPECT_EQ(form->Windows().Run(*box), QDialog::Rejected);
  ClickAsUser(form->qmOutBox);
  EXPECT_TRUE(form->PanelMessageBox->isVisible()) << "the window takes input again";
}

TEST_F(MainFormTest, ClosingWhileABoxForTheReceiveThreadIsOpenEndsTheProgram) {
  const MessageBoxHandler answered = SetMessageBoxHandler({});
  InstallQtMessageBoxes(/*dialogsWhenOffscreen=*/true);
  form->show();
  peer.Close();
  QMessageBox* box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = FindTopLevel<QMessageBox>()) != nullptr; }));
  EXPECT_EQ(box->text(), "Сервер сбросил соединение");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the box blocks no window";

  bool closed = false;
  QObject::connect(form.get(), &TMainForm::Closed, [&] { closed = true; });
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(closed);
  form.reset();  // the receive thread, still waiting for the box, is let go and joined
  delete box;
  SetMessageBoxHandler(answered);
}

// Every box and dialog a command of the main window raises keeps the main window
// from starting anything else, but never from closing, which ends the command
// and the program.
TEST(MainFormClose, ABoxOrDialogOfACommandNeverKeepsTheMainWindowOpen) {
  struct Case {
    const char* name;
    QAction* TMainForm::*command;
    const char* shows;  // the text of the box, or the dialog's caption
    const char* caption;
  };
  const std::vector<Case> cases = {
      {"connect", &TMainForm::actConnect, "Сервер не отвечает", "127.0.0.1"},
      {"compose", &TMainForm::actCompose, "Вы не подключены к серверу", "Предупреждение"},
      {"mail check", &TMainForm::PerformMailCheck, "Подключение к серверу не установлено", "Предупреждение"},
      {"settings", &TMainForm::actOptions, "", "Настройки"},
  };
  const MessageBoxHandler answered = SetMessageBoxHandler({});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    RefusingPort refusing;
    ASSERT_TRUE(WriteClientConfig(dir.path(), ClientConfig{"127.0.0.1", refusing.port()}));
    stream_client client;
    TMainForm form(client, dir.path());
    ASSERT_TRUE(WaitUntil([&] { return !form.ConnectPending(); }));
    InstallClientMessageBoxes(form, /*dialogsWhenOffscreen=*/true);
    form.show();
    bool closed = false;
    QObject::connect(&form, &TMainForm::Closed, [&] { closed = true; });
    bool shown = false;
    const auto watcher = OnNextDialog([&](QWidget* dialog) {
      shown = true;
      auto* box = qobject_cast<QMessageBox*>(dialog);
      EXPECT_EQ(box ? box->text() : QString(), c.shows);
      EXPECT_EQ(dialog->windowTitle(), c.caption);
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "nothing keeps the main window from closing";
      ClickAsUser(form.qmOutBox);
      EXPECT_FALSE(form.PanelMessageBox->isVisible()) << "the main window takes no input meanwhile";
      EXPECT_TRUE(form.close());
    });
    (form.*c.command)->trigger();  // returns once the close has ended it, or at once for a connect
    EXPECT_TRUE(WaitUntil([&] { return closed; }));
    EXPECT_TRUE(shown);
    EXPECT_EQ(FindTopLevel<QDialog>(), nullptr) << "nothing is left up";
  }
  SetMessageBoxHandler(answered);
}

TEST_F(MainFormTest, WindowGoingAwayReleasesAThreadWaitingToReportTheServerGone) {
  peer.Close();
  // The receive thread now waits for the user-interface thread to show its
  // message; the window goes without ever serving it.
  form.reset();
  EXPECT_TRUE(boxes.Asked().empty());
  EXPECT_FALSE(client.connected());
}

TEST(QtTexts, ButtonsAndEditMenusAreInRussian) {
  ASSERT_TRUE(LoadQtRussianTexts()) << "Qt's translations are installed by tools/setup.sh";
  QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Ok | QMessageBox::No);
  EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), "Нет");
  QLineEdit edit;
  const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList texts;
  for (const QAction* a : menu->actions())
    if (!a->isSeparator()) texts << a->text().remove('&').section('\t', 0, 0);
  EXPECT_TRUE(texts.contains("Копировать")) << texts.join(", ").toStdString();
  EXPECT_TRUE(texts.contains("Вставить")) << texts.join(", ").toStdString();
}

// The list's model shows the rows the file holds, in its order, leaving out the
// damaged records and the torn tail; its columns keep their headings and widths
// from one list to the next.
TEST(LoadMailbox, ShowsEverySoundWholeRecordAndLeavesOutTheDamagedAndThePartialTail) {
  TempDir dir;
  MessageBoxAnswers boxes;
  RefusingPort refusing;
  ASSERT_TRUE(WriteClientConfig(dir.path(), ClientConfig{"127.0.0.1", refusing.port()}));
  packet damaged = MakePacket(kPacketMessage, "+9", "damaged", "d9");
  damaged.set_checksum(damaged.checksum() + 1);
  const std::vector<packet> records = {MakePacket(kPacketMessage, "+1", Ansi("первое"), "d1"), damaged,
                                       MakePacket(kPacketMessage, "+2", "two", "d2"), damaged};
  std::string bytes;
  for (const packet& p : records) bytes.append(reinterpret_cast<const char*>(p.raw().data()), kPacketSize);
  bytes.append(100, 'x');
  ASSERT_TRUE(WriteFileAtomically(dir.File("outbox.db"), bytes));
  const packet received = MakePacket(kPacketMessage, "+3", "three", "d3");
  ASSERT_TRUE(WriteMessageFile(dir.File("inbox.db"), std::span(&received, 1)));

  stream_client client;
  TMainForm form(client, dir.path());
  form.qmOutBoxClick();
  EXPECT_EQ(Rows(form.MessageTable), (std::vector<std::string>{"+1|d1|первое", "+2|d2|two"}));
  const QAbstractItemModel* model = form.MessageTable->model();
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "номер абонента");
  EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "дата и время");
  EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "текст сообщения");

  form.qmInBoxClick();
  EXPECT_EQ(Rows(form.MessageTable), std::vector<std::string>{"+3|d3|three"});
  EXPECT_EQ(form.MessageTable->columnWidth(0), 120);
  EXPECT_EQ(form.MessageTable->columnWidth(1), 130);

  LoadMailbox(dir.File("missing.db"), form.MessageTable);
  EXPECT_TRUE(Rows(form.MessageTable).empty());
}

}  // namespace
