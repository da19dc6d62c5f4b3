// What the modem is given for a handed-in message: the number as the modem takes
// it, and the text its length counts.
#include <gtest/gtest.h>

#include "tests/server/modem_fixture.h"

namespace {

class HandInModemTest : public ModemFixture {};

TEST_F(HandInModemTest, TheModemGetsTheNumberWithoutSeparatorsAndTheCountedText) {
  packet padded = MessagePacket("+7 916 123-45-67", "meet at 5");
  padded.text_field()[9] = '0';  // past the length, where the checksum does not look
  StartServer(false);
  HandIn({MessagePacket("8 (916) 123-45-67", "dialled as written"), padded});
  FindModem();
  const std::vector<SimSend> sends = Sends(2);
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_EQ(sends[0].decoded.number, "89161234567");
  EXPECT_EQ(sends[0].decoded.text, "dialled as written");
  EXPECT_EQ(sends[1].decoded.number, "+79161234567");
  EXPECT_EQ(sends[1].decoded.text, "meet at 5");
}

// What the recipient's phone shows is what was handed in: brackets, braces and
// the like through the extension table, and the letters and signs the 7-bit
// alphabet lacks in UCS2.
TEST_F(HandInModemTest, ThePhoneShowsTheTextAsHandedIn) {
  const std::string texts[] = {"a[b]c{d}e~f^g\\h|i", "\xA8\xA8\xA8 \xB9" "5 \xABok\xBB"};
  StartServer(false);
  HandIn({MessagePacket("+79161234567", texts[0]), MessagePacket("+79161234567", texts[1])});
  FindModem();
  const std::vector<SimSend> sends = Sends(2);
  ASSERT_EQ(sends.size(), 2u);
  EXPECT_EQ(sends[0].decoded.text, "a[b]c{d}e~f^g\\h|i");
  EXPECT_EQ(sends[1].decoded.text, "ЁЁЁ №5 «ok»");
}

}  // namespace
