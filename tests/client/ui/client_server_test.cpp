// The client's main window against the real server's client service, in one
// process over loopback: login when the server asks, fetching received messages.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <filesystem>

#include "client/book/qt/compose_form.h"
#include "client/core/client_config.h"
#include "client/ui/access_form.h"
#include "client/ui/main_form.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/registry.h"
#include "protocol/cipher.h"
#include "protocol/message_file.h"
#include "server/clients/check_user.h"
#include "server/server_core.h"
#include "tests/client/core/loopback_server.h"
#include "tests/client/ui/log_in_driver.h"
#include "tests/server/loopback_client.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "tests/support/temp_dir.h"

namespace {

class ClientServerTest : public ::testing::Test {
 protected:
  void StartServer(bool needReg) {
    TRegistry registry(PathJoin(serverDir.path(), kRegistryFile));
    ASSERT_TRUE(registry.OpenKey(kUsersKey, true));
    std::vector<std::uint8_t> password{'S', 'e', 'c', 'r', 'e', 't', '1'};
    EncodeBuffer(password);
    registry.WriteBinaryData("ivan", password);

    config.EthernetPort = kAnyPort;
    config.NeedReg = needReg;
    core = std::make_unique<ServerCore>(serverDir.path());
    core->set_close_wait_ms(0);
    ASSERT_TRUE(core->Start(config));
    ASSERT_TRUE(WriteClientConfig(clientDir.path(), ClientConfig{"127.0.0.1", core->ListeningPort()}));
  }
  void TearDown() override {
    form.reset();
    if (core) core->Close();
  }

  void StartClient() {
    form = std::make_unique<TMainForm>(client, clientDir.path());
    ASSERT_TRUE(WaitUntil([&] { return !form->ConnectPending(); }));
  }

  void LogIn(const QString& user, const QString& password) {
    TAccessForm* dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindTopLevel<TAccessForm>()) != nullptr; }));
    dialog->UserName->setText(user);
    dialog->UserPassword->setText(password);
    dialog->OKButton->click();
  }

  // Runs compose with this text to these recipients; true when the dialog
  // showed. Nothing else may show meanwhile.
  bool Compose(const QString& recipients, const QString& text) {
    bool shown = false;
    const auto watcher = OnNextDialog([&](QWidget* w) {
      auto* compose = qobject_cast<TComposeForm*>(w);
      ASSERT_NE(compose, nullptr);
      shown = true;
      compose->RecepientsEdit->setText(recipients);
      compose->MessageText->setPlainText(text);
      compose->accept();
    });
    form->actCompose->trigger();
    return shown;
  }

  std::vector<packet> Queued() {
    std::lock_guard guard(core->state().QueueLock);
    std::vector<packet> out;
    for (const QueuedPacket& p : core->state().OutgoingQueue) out.push_back(*p);
    return out;
  }

  void QueueReceived(const std::vector<packet>& packets) {
    std::lock_guard guard(core->state().QueueLock);
    for (const packet& p : packets) {
      PacketPtr q = PacketNew();
      *q = p;
      core->state().IncomingQueue.Append(std::move(q));
    }
  }

  std::vector<packet> Inbox() const { return ReadMessageFile(PathJoin(clientDir.path(), "inbox.db")); }

  TempDir serverDir;
  TempDir clientDir;
  MessageBoxAnswers boxes;
  ServerConfig config;
  std::unique_ptr<ServerCore> core;
  stream_client client;
  std::unique_ptr<TMainForm> form;
};

TEST_F(ClientServerTest, LoggedInClientFetchesTheReceivedMessagesInOrder) {
  StartServer(true);
  StartClient();
  EXPECT_EQ(form->CurrentStatusLine().text, "Подключен к 127.0.0.1");
  LogIn(QStringLiteral("ivan"), QStringLiteral("Secret1"));
  ASSERT_TRUE(WaitUntil([&] { return !client.LoginPending(); }));

  const std::vector<packet> received = {
      MakePacket(kPacketMessage, "+79001112233", Ansi("Здравствуйте"), "09.12.2026 09:00:00"),
      MakePacket(kPacketMessage, "+79004445566", "second", "09.12.2026 09:01:00")};
  QueueReceived(received);
  form->PerformMailCheck->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Inbox().size() == 2; }));
  EXPECT_EQ(Inbox(), received);
  EXPECT_EQ(core->state().IncomingCount(), 0u);
  EXPECT_TRUE(boxes.Asked().empty());
  EXPECT_TRUE(client.connected());
}

// A login put away unanswered lets nothing go: the server would end the
// connection and queue nothing, while the sent list showed the message. The
// user is told, logs in, and then the message goes.
TEST_F(ClientServerTest, NothingIsSentBeforeTheLoginIsAccepted) {
  StartServer(true);
  StartClient();
  TAccessForm* dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindTopLevel<TAccessForm>()) != nullptr; }));
  dialog->reject();  // Escape

  boxes.SetAnswer(MbResult::No);
  EXPECT_FALSE(Compose("+79161234567", "early")) << "no compose before the login";
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"Сервер требует авторизации. Войти?"});
  EXPECT_TRUE(client.connected());
  EXPECT_EQ(form->CurrentStatusLine().text, "Подключен к 127.0.0.1");

  boxes.SetAnswer(MbResult::Yes);
  {
    const auto watcher = LogInOnNextDialog("ivan", "Secret1");
    EXPECT_FALSE(Compose("+79161234567", "early"));
  }
  ASSERT_TRUE(WaitUntil([&] { return !client.LoginPending(); }));
  EXPECT_TRUE(Queued().empty());
  EXPECT_FALSE(std::filesystem::exists(PathJoin(clientDir.path(), "outbox.db")));

  ASSERT_TRUE(Compose("+79161234567", "after the login"));
  ASSERT_TRUE(WaitUntil([&] { return Queued().size() == 1; }));
  EXPECT_EQ(Queued()[0].text(), "after the login");
  EXPECT_EQ(ReadMessageFile(PathJoin(clientDir.path(), "outbox.db")).size(), 1u);
  EXPECT_TRUE(client.connected());
  EXPECT_EQ(boxes.Asked().size(), 2u);
}

TEST_F(ClientServerTest, WrongPasswordIsRefusedAndTheConnectionEnds) {
  StartServer(true);
  StartClient();
  LogIn(QStringLiteral("ivan"), QStringLiteral("wrong"));
  ASSERT_TRUE(WaitUntil([&] { return boxes.Asked().size() >= 2; }));
  EXPECT_EQ(boxes.TextsUtf8(), (std::vector<std::string>{"Отказ в регистрации", "Сервер сбросил соединение"}));
  EXPECT_EQ(form->CurrentStatusLine().text, "Не подключен");
}

TEST_F(ClientServerTest, WithoutLoginTheClientFetchesAtOnce) {
  StartServer(false);
  StartClient();
  QueueReceived({MakePacket(kPacketMessage, "+7", "no login needed")});
  form->PerformMailCheck->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Inbox().size() == 1; }));
  EXPECT_EQ(Inbox()[0].text(), "no login needed");
  EXPECT_EQ(FindTopLevel<TAccessForm>(), nullptr);
  EXPECT_TRUE(boxes.Asked().empty());
}

}  // namespace
