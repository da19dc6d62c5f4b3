#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QLineEdit>
#include <filesystem>
#include <QPushButton>
#include <QToolButton>
#include <QValidator>
#include <algorithm>

#include "client/core/client_config.h"
#include "client/ui/config_form.h"
#include "client/ui/ip_address_edit.h"
#include "client/ui/main_form.h"
#include "client/ui/program_entry.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/qt/qt_russian.h"
#include "platform/single_instance.h"
#include "protocol/message_file.h"
#include "tests/client/core/loopback_server.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(IPAddressEdit, HoldsOneValueAndIsBlankOnlyWithNoFieldFilled) {
  TIPAddressEdit edit;
  EXPECT_TRUE(edit.IsBlank());
  EXPECT_EQ(edit.GetAddress(), 0u);
  edit.SetAddress(0xC0A80005u);
  EXPECT_EQ(edit.Field(0)->text(), "192");
  EXPECT_EQ(edit.Field(3)->text(), "5");
  EXPECT_EQ(edit.GetAddress(), 0xC0A80005u);
  EXPECT_FALSE(edit.IsBlank());

  edit.Clear();
  EXPECT_TRUE(edit.IsBlank());
  edit.Field(0)->setText("10");  // the other fields read as 0
  EXPECT_FALSE(edit.IsBlank());
  EXPECT_EQ(edit.GetAddress(), 0x0A000000u);

  const QValidator* octet = edit.Field(1)->validator();
  ASSERT_NE(octet, nullptr);
  for (const auto& [text, state] : std::vector<std::pair<QString, QValidator::State>>{
           {"255", QValidator::Acceptable}, {"", QValidator::Acceptable},
           {"256", QValidator::Invalid}, {"1a", QValidator::Invalid}, {"1234", QValidator::Invalid}}) {
    QString input = text;
    int pos = 0;
    EXPECT_EQ(octet->validate(input, pos), state) << text.toStdString();
  }
}

// Types into whichever field has the focus, key by key.
void Type(TIPAddressEdit& edit, const QString& keys) {
  for (const QChar c : keys) {
    const int key = c == u'.' ? Qt::Key_Period : Qt::Key_0 + c.digitValue();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
    QApplication::sendEvent(edit.focusWidget(), &press);
  }
}

TEST(IPAddressEdit, AnAddressTypedOverAnotherReplacesItOctetByOctet) {
  const struct {
    std::uint32_t old;  // 0: blank
    QString typed;
    std::uint32_t expected;
  } cases[] = {
      {0xC0A8010Au, "127.0.0.1", 0x7F000001u},  // over 192.168.1.10
      {0xC0A8010Au, "10.200.30.4", 0x0AC81E04u},
      {0, "255.255.255.255", 0xFFFFFFFFu},
      {0x0A000001u, "1.2.3.4", 0x01020304u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    TIPAddressEdit edit;
    if (c.old != 0) edit.SetAddress(c.old);
    edit.Field(0)->setFocus();
    edit.Field(0)->selectAll();
    Type(edit, c.typed);
    EXPECT_EQ(edit.GetAddress(), c.expected);
  }
}

// Ctrl+V into one field, or the paste of its own menu.
TEST(IPAddressEdit, APastedAddressFillsTheFourFieldsAndAnythingElseIsRefusedWhole) {
  const struct {
    QString pasted;
    int field;
    QStringList expected;  // the four fields afterwards, over 10.0.0.1 with the pasted-into field emptied
  } cases[] = {
      {"192.168.1.10", 0, {"192", "168", "1", "10"}},
      {"192.168.1.10", 2, {"192", "168", "1", "10"}},
      {" 172.16.0.1\n", 3, {"172", "16", "0", "1"}},
      {"77", 1, {"10", "77", "0", "1"}},  // one octet goes where it was pasted
      {"192.168", 0, {"", "0", "0", "1"}},
      {"192.168.1", 1, {"10", "", "0", "1"}},
      {"1.2.3.4.5", 0, {"", "0", "0", "1"}},
      {"256.1.1.1", 0, {"", "0", "0", "1"}},
      {"1234", 2, {"10", "0", "", "1"}},
      {"сервер", 3, {"10", "0", "0", ""}},
  };
  ASSERT_TRUE(LoadQtRussianTexts());  // the menu reads as the program's does
  for (const bool byMenu : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.pasted.toStdString() + (byMenu ? " (menu)" : " (keys)"));
      TIPAddressEdit edit;
      edit.SetAddress(0x0A000001u);
      QLineEdit* field = edit.Field(c.field);
      field->clear();
      field->setFocus();
      QGuiApplication::clipboard()->setText(c.pasted);
      if (byMenu) {
        const auto menuWatch = std::make_unique<QTimer>();
        QObject::connect(menuWatch.get(), &QTimer::timeout, [&] {
          if (auto* menu = FindTopLevel<QMenu>()) {
            for (QAction* item : menu->actions())
              if (item->text().remove(u'&').startsWith(QStringLiteral("Вставить"))) item->trigger();
            menu->close();
          }
        });
        menuWatch->start(5);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(2, 2), field->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(field, &menuEvent);
      } else {
        QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
        QApplication::sendEvent(field, &paste);
      }
      QStringList fields;
      for (int i = 0; i < 4; ++i) fields << edit.Field(i)->text();
      EXPECT_EQ(fields, c.expected);
    }
  }
}

TEST(ConfigForm, TextsAndDigitOnlyPort) {
  TConfigForm dialog(nullptr);
  EXPECT_EQ(dialog.windowTitle(), "Настройки");
  EXPECT_EQ(dialog.btnSave->text(), "Сохранить");
  EXPECT_TRUE(dialog.RemotePort->font().bold());
  QString letters = "80a";
  int pos = 0;
  EXPECT_EQ(dialog.RemotePort->validator()->validate(letters, pos), QValidator::Invalid);
  QString digits = "8099";
  EXPECT_EQ(dialog.RemotePort->validator()->validate(digits, pos), QValidator::Acceptable);
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteClientConfig(dir.path(), ClientConfig{"127.0.0.1", server.port()}));
    configBefore = *ReadWholeFile(ClientConfigPath(dir.path()));
    form = std::make_unique<TMainForm>(client, dir.path());
    peer = server.Accept();
    ASSERT_TRUE(peer.valid());
    ASSERT_TRUE(WaitUntil([&] { return client.connected(); }));
  }
  void TearDown() override { form.reset(); }

  // Opens the settings and lets `fill` act on the dialog before it closes. A
  // dialog whose check refused what was typed is still open: it is then closed
  // by its system button, and true returned.
  bool RunSettings(std::function<void(TConfigForm*)> fill) {
    bool keptOpen = false;
    const auto watcher = OnNextDialog([fill, &keptOpen](QWidget* w) {
      auto* dialog = qobject_cast<TConfigForm*>(w);
      ASSERT_NE(dialog, nullptr);
      fill(dialog);
      keptOpen = dialog->isVisible();
      if (keptOpen) dialog->reject();
    });
    form->actOptions->trigger();
    return keptOpen;
  }
  void ExpectAllQuickButtonsBlack() {
    for (QToolButton* b : {form->qmCompose, form->qmOutBox, form->qmInBox, form->qmContacts, form->qmOptions})
      EXPECT_EQ(b->palette().color(QPalette::ButtonText), QColor(Qt::black)) << b->text().toStdString();
  }

  TempDir dir;
  LoopbackServer server;
  MessageBoxAnswers boxes;
  stream_client client;
  std::string configBefore;
  std::unique_ptr<TMainForm> form;
  LoopbackPeer peer;
};

TEST_F(SettingsTest, DialogOpensWithTheCurrentPortAndAddress) {
  QString port;
  std::uint32_t address = 0;
  RunSettings([&](TConfigForm* d) {
    port = d->RemotePort->text();
    address = d->IPAddressHandle->GetAddress();
    EXPECT_EQ(d->parentWidget(), form.get());
    EXPECT_EQ(form->qmOptions->palette().color(QPalette::ButtonText), QColor(0, 0, 255));
    d->reject();
  });
  EXPECT_EQ(port, QString::number(server.port()));
  EXPECT_EQ(address, 0x7F000001u);
}

TEST_F(SettingsTest, SavingReconnectsToTheNewAddressAndWritesBothKeys) {
  LoopbackServer other("127.0.0.2");
  RunSettings([&](TConfigForm* d) {
    d->RemotePort->setText(QString::number(other.port()));
    d->IPAddressHandle->SetAddress(0x7F000002u);
    d->btnSave->click();
  });
  LoopbackPeer newPeer = other.Accept();
  ASSERT_TRUE(newPeer.valid());
  EXPECT_TRUE(peer.WaitClosedByClient());
  ASSERT_TRUE(WaitUntil([&] { return client.connected(); }));
  EXPECT_EQ(form->GetServerIP(), "127.0.0.2");
  EXPECT_EQ(client.port, other.port());
  const ClientConfig saved = ReadClientConfig(dir.path());
  EXPECT_EQ(saved.serverIP, "127.0.0.2");
  EXPECT_EQ(saved.port, other.port());
  EXPECT_EQ(form->CurrentStatusLine().text, "Подключен к 127.0.0.2");
  ExpectAllQuickButtonsBlack();

  // The user closed the old connection: its end is no failure to report. The
  // new connection has a receive thread of its own.
  ASSERT_TRUE(newPeer.Send(MakePacket(kPacketMessage, "+7", "via new server")));
  EXPECT_TRUE(WaitUntil([&] { return ReadMessageFile(PathJoin(dir.path(), "inbox.db")).size() == 1; }));
  EXPECT_TRUE(client.connected());
  EXPECT_TRUE(boxes.Asked().empty());
}

TEST_F(SettingsTest, NotConfirmedOrIncompleteChangesNothing) {
  // A refusal is told before the dialog closes; it stays open with what was typed.
  const auto save = [](const QString& port, std::uint32_t address) {
    return [port, address](TConfigForm* d) {
      d->RemotePort->setText(port);
      if (address != 0) d->IPAddressHandle->SetAddress(address);
      else d->IPAddressHandle->Clear();
      d->btnSave->click();
      EXPECT_EQ(d->RemotePort->text(), port);
      EXPECT_EQ(d->IPAddressHandle->GetAddress(), address);
    };
  };
  const std::string badPort = "Порт должен быть от 1 до 65535";
  struct Case {
    const char* name;
    std::function<void(TConfigForm*)> act;
    std::vector<std::string> boxes;
  };
  const std::vector<Case> cases = {
      {"closed by the system button", [](TConfigForm* d) { d->reject(); }, {}},
      {"blank address", save("1", 0), {"IP адрес не задан!"}},
      {"empty port", save("", 0x7F000002u), {badPort}},
      {"port 0", save("0", 0x7F000002u), {badPort}},
      {"port 65536", save("65536", 0x7F000002u), {badPort}},
      {"port 70000", save("70000", 0x7F000002u), {badPort}},
      {"a port of too many digits", save("99999999999", 0x7F000002u), {badPort}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MessageBoxAnswers caseBoxes;
    EXPECT_EQ(RunSettings(c.act), !c.boxes.empty());
    EXPECT_EQ(caseBoxes.TextsUtf8(), c.boxes);
    EXPECT_EQ(*ReadWholeFile(ClientConfigPath(dir.path())), configBefore);
    EXPECT_EQ(form->GetServerIP(), "127.0.0.1");
    EXPECT_TRUE(client.connected());
    EXPECT_TRUE(peer.Quiet()) << "the old connection stays open";
    EXPECT_FALSE(server.Pending()) << "no reconnect";
    ExpectAllQuickButtonsBlack();
  }
}

TEST_F(SettingsTest, SavingWithTheServerDownSaysSoAndShowsDisconnected) {
  RefusingPort refusing;
  const std::int32_t refusedPort = refusing.port();
  RunSettings([&](TConfigForm* d) {
    d->RemotePort->setText(QString::number(refusedPort));
    d->btnSave->click();
  });
  // Only the new connection's failure is told: the user closed the old one.
  ASSERT_TRUE(WaitUntil([&] { return boxes.Asked().size() == 1; }));
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"Сервер не отвечает"});
  EXPECT_EQ(boxes.Asked()[0].caption, "127.0.0.1");
  EXPECT_EQ(ReadClientConfig(dir.path()).port, refusedPort) << "saved before connecting";
  EXPECT_EQ(form->CurrentStatusLine().text, "Не подключен");
}

TEST_F(SettingsTest, SettingsThatCannotBeWrittenAreReported) {
  const std::string path = ClientConfigPath(dir.path());
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);  // in the way of the file
  RunSettings([&](TConfigForm* d) { d->btnSave->click(); });
  ASSERT_GE(boxes.Asked().size(), 1u);
  EXPECT_EQ(boxes.TextsUtf8()[0], "Не удалось записать файл " + path);
  EXPECT_TRUE(server.Accept().valid()) << "the new settings are used all the same";
}

// A host name is no address the control can show: the dialog opens with the
// address blank and asks for one before saving.
TEST(SettingsWithHostName, DialogOpensWithTheAddressBlank) {
  TempDir dir;
  MessageBoxAnswers boxes;
  LoopbackServer server;
  ASSERT_TRUE(WriteClientConfig(dir.path(), ClientConfig{"localhost", server.port()}));
  stream_client client;
  TMainForm form(client, dir.path());
  const LoopbackPeer peer = server.Accept();
  ASSERT_TRUE(peer.valid()) << "a host name still connects";
  ASSERT_TRUE(WaitUntil([&] { return client.connected(); }));
  bool opened = false;
  const auto watcher = OnNextDialog([&](QWidget* w) {
    auto* dialog = qobject_cast<TConfigForm*>(w);
    ASSERT_NE(dialog, nullptr);
    opened = true;
    EXPECT_TRUE(dialog->IPAddressHandle->IsBlank());
    EXPECT_EQ(dialog->RemotePort->text(), QString::number(server.port()));
    dialog->btnSave->click();
    EXPECT_TRUE(dialog->isVisible()) << "no address, nothing saved";
    dialog->IPAddressHandle->SetAddress(0x7F000001u);
    dialog->btnSave->click();
  });
  form.actOptions->trigger();
  EXPECT_TRUE(opened);
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"IP адрес не задан!"});
  EXPECT_EQ(ReadClientConfig(dir.path()).serverIP, "127.0.0.1");
  EXPECT_TRUE(server.Accept().valid()) << "reconnected to the address typed";
  EXPECT_EQ(form.qmOptions->palette().color(QPalette::ButtonText), QColor(Qt::black));
}

TEST(ClientInstance, SecondCopyIsToldAndGetsNothing) {
  TempDir lockDir;
  MessageBoxAnswers boxes;
  const auto first = ClaimClientInstance(lockDir.path());
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(boxes.Asked().empty());
  const auto second = ClaimClientInstance(lockDir.path());
  EXPECT_EQ(second, nullptr);
  ASSERT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"Приложение уже запущено"});
  EXPECT_EQ(boxes.Asked()[0].icon, MbIcon::Information);
  EXPECT_FALSE(first->AlreadyRunning()) << "the first copy keeps running";
}

}  // namespace
