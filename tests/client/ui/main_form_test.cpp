#include "client/ui/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "client/book/qt/report_list.h"
#include "client/core/client_config.h"
#include "client/ui/access_form.h"
#include "client/ui/load_mailbox.h"
#include "client/ui/program_entry.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/qt/message_box_qt.h"
#include "platform/qt/qt_russian.h"
#include "protocol/message_file.h"
#include "tests/client/core/loopback_server.h"
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

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* a : menu->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
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
  form->PerformMailCheck->trigger();  // the user's next step comes after the answer

  const auto answer = peer.Receive();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->type(), kPacketLogin);
  EXPECT_EQ(answer->number(), Ansi("Администратор_отдела_123"));
  EXPECT_EQ(answer->text(), Ansi("пароль"));
  EXPECT_TRUE(PacketVerify(*answer));
  const auto request = peer.Receive();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->type(), kPacketFetch);
  EXPECT_TRUE(WaitUntil([] { return FindTopLevel<TAccessForm>() == nullptr; }));
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
