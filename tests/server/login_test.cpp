// The login handshake when NeedReg is set, against users in the registry file.
#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "platform/registry.h"
#include "protocol/cipher.h"
#include "server/clients/check_user.h"
#include "tests/server/server_fixture.h"

namespace {

std::vector<std::uint8_t> Enciphered(std::string_view password) {
  std::vector<std::uint8_t> bytes(password.begin(), password.end());
  EncodeBuffer(bytes);
  return bytes;
}

class LoginTest : public ServerFixture {
 protected:
  void SetUp() override {
    TRegistry reg(PathJoin(dir.path(), kRegistryFile));
    ASSERT_TRUE(reg.OpenKey(kUsersKey, true));
    reg.WriteBinaryData("ivan", Enciphered("Secret1"));
    reg.WriteString("textual", "Secret1");
    std::vector<std::uint8_t> tooLong = Enciphered("Secret1");
    tooLong.resize(26, 0);
    reg.WriteBinaryData("longvalue", tooLong);
    ServerConfig c = Config();
    c.NeedReg = true;
    StartServer(c);
  }

  static packet Answer(std::string_view user, std::string_view password) {
    packet p = TypedPacket(kPacketLogin);
    PacketSetNumber(p, user);
    PacketSetText(p, password);
    return p;
  }

  // Connects and takes the login prompt.
  void Prompted(LoopbackClient& client) {
    auto prompt = client.Receive();
    ASSERT_TRUE(prompt);
    EXPECT_EQ(prompt->type(), kPacketLogin);
    EXPECT_EQ(prompt->number(), "");
    EXPECT_EQ(prompt->text().size(), 0u);
  }
};

struct RefusedCase {
  const char* what;
  const char* user;
  const char* password;
};

TEST_F(LoginTest, RefusedLoginsGetType4AndTheConnectionCloses) {
  const RefusedCase cases[] = {
      {"empty user name", "", "Secret1"},
      {"unknown user", "petr", "Secret1"},
      {"password differing in case", "ivan", "secret1"},
      {"password prefix", "ivan", "Secret"},
      {"value that is not binary", "textual", "Secret1"},
      {"value longer than 25 bytes", "longvalue", "Secret1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackClient client(port);
    Prompted(client);
    ASSERT_TRUE(client.Send(Answer(c.user, c.password)));
    auto reply = client.Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type(), kPacketLoginRefused);
    client.Send(MessagePacket("+7001", "too late"));  // may meet the close already
    EXPECT_TRUE(client.BytesUntilClosed());
  }
  EXPECT_EQ(Outgoing(), 0u);
}

TEST_F(LoginTest, AcceptedLoginIgnoresASecondLoginAnswer) {
  LoopbackClient client(port);
  Prompted(client);
  ASSERT_TRUE(client.Send(Answer("ivan", "Secret1")));
  auto reply = client.Receive();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->type(), kPacketLoginAccepted);
  EXPECT_EQ(reply->text().size(), 0u);

  ASSERT_TRUE(client.Send(Answer("ivan", "Secret1")));
  ASSERT_TRUE(client.Send(MessagePacket("+7001", "logged in")));
  ASSERT_TRUE(WaitUntil([&] { return Outgoing() == 1; }));
  client.ShutdownWrite();
  EXPECT_EQ(client.BytesUntilClosed(), 0u);  // the second answer got no reply
}

TEST_F(LoginTest, AMessageInsteadOfTheLoginAnswerDisconnectsAndQueuesNothing) {
  LoopbackClient client(port);
  Prompted(client);
  ASSERT_TRUE(client.Send(MessagePacket("+7001", "no login")));
  EXPECT_EQ(client.BytesUntilClosed(), 0u);
  EXPECT_EQ(Outgoing(), 0u);
}

// Stored values as the configuration program writes them, spelled out: deciphered
// whole, each password ends at its first zero byte or at the end of the value.
TEST(CheckUser, MatchesTheStoredPasswordByteForByte) {
  TempDir dir;
  ASSERT_TRUE(WriteFileAtomically(dir.File("registry.reg"),
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trelm\\SMSConfig\\Server\\Users]\n"
                                  "\"operator\"=hex:03,03,00,41,4e,5d,b2\n"  // sms2026, a zero among its bytes
                                  "\"kassa\"=hex:00,0f,00,00\n"             // pass: starts with a zero
                                  "\"ended\"=hex:03,03,00,41,4e,5d,b2,45\n"  // sms2026 and its zero
                                  "\"full\"=hex:24,1c,16,1f,13,42,b6,75,71,7d,ab,18,68,ef,fa,ec,f9,f7,fb,b3,"
                                  "2f,3c,16,d3,b0\n"));  // Trelm-2026-operator-pass!, 25 bytes
  struct Case {
    const char* user;
    const char* password;
    bool accepted;
  };
  const Case cases[] = {
      {"operator", "sms2026", true},   {"operator", "sm", false},     {"operator", "", false},
      {"operator", "sms20266", false}, {"kassa", "pass", true},       {"kassa", "", false},
      {"ended", "sms2026", true},      {"full", "Trelm-2026-operator-pass!", true},
      {"full", "Trelm-2026-operator-pass", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.user) + " / " + c.password);
    packet answer = TypedPacket(kPacketLogin);
    PacketSetNumber(answer, c.user);
    PacketSetText(answer, c.password);
    EXPECT_EQ(CheckUser(answer, dir.File("registry.reg")), c.accepted);
  }
}

TEST(CheckUser, AMissingRegistryFileRefuses) {
  TempDir dir;
  packet answer = TypedPacket(kPacketLogin);
  PacketSetNumber(answer, "ivan");
  PacketSetText(answer, "Secret1");
  EXPECT_FALSE(CheckUser(answer, dir.File("registry.reg")));
}

}  // namespace
