#include "client/core/mail_check.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tests/client/core/loopback_server.h"
#include "tests/support/message_box_answers.h"

namespace {

TEST(MailCheck, WithoutConnectionWarnsAndSendsNothing) {
  MessageBoxAnswers boxes;
  stream_client client;
  RequestReceivedMessages(client);
  ASSERT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"Подключение к серверу не установлено"});
  EXPECT_EQ(boxes.Asked()[0].caption, Ansi("Предупреждение"));
  EXPECT_EQ(boxes.Asked()[0].buttons, MbButtons::Ok);
}

TEST(MailCheck, ConnectedSendsRequestWithDateAndNoText) {
  MessageBoxAnswers boxes;
  LoopbackServer server;
  stream_client client;
  client.port = server.port();
  ASSERT_TRUE(client.Connect("127.0.0.1"));
  LoopbackPeer peer = server.Accept();
  RequestReceivedMessages(client);
  const auto request = peer.Receive();
  ASSERT_TRUE(request);
  EXPECT_EQ(request->type(), kPacketFetch);
  EXPECT_EQ(request->number(), "REQUEST");
  EXPECT_FALSE(request->date().empty());
  EXPECT_LE(request->date().size(), 19u);
  EXPECT_EQ(request->length(), 0);
  EXPECT_EQ(request->checksum(), 0u);
  EXPECT_TRUE(boxes.Asked().empty());
}

}  // namespace
