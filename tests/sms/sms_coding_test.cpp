#include <gtest/gtest.h>

#include <string>

#include "sms/sms_coding.h"

namespace {

TEST(SmsCoding, ChoosesCodingAndCountsParts) {
  struct Case {
    std::string text;
    bool ucs2;
    std::size_t parts;
  };
  const std::string cyr(1, '\xC0');
  const Case cases[] = {
      {"", false, 1},
      {std::string(160, 'a'), false, 1},
      {std::string(161, 'a'), false, 2},
      {std::string(306, 'a'), false, 2},
      {std::string(307, 'a'), false, 3},
      {std::string(1024, 'a'), false, 7},
      {std::string(69, 'a') + cyr, true, 1},
      {std::string(70, 'a') + cyr, true, 2},
      {std::string(125, 'a') + cyr, true, 2},
      {std::string(126, 'a') + cyr, true, 3},
      {std::string(1023, 'a') + "\xFF", true, 17},
      {std::string(200, '\x80') + "\xBF", false, 2},  // 0x80-0xBF stay 7-bit
  };
  for (const auto& c : cases) {
    const SmsCoding coding = ChooseSmsCoding(c.text);
    EXPECT_EQ(coding.ucs2, c.ucs2) << c.text.size();
    EXPECT_EQ(coding.limit, c.ucs2 ? 70u : 160u);
    EXPECT_EQ(coding.partSize, c.ucs2 ? 63u : 153u);
    EXPECT_EQ(SmsPartCount(c.text.size(), coding), c.parts) << c.text.size();
  }
}

}  // namespace
