#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sms/sms_coding.h"

namespace {

TEST(SmsCoding, ChoosesCodingAndSplitsIntoParts) {
  struct Case {
    const char* name;
    std::string text;
    bool ucs2;
    std::vector<std::size_t> parts;  // characters in each
  };
  const std::string a(1, 'a');
  const auto times = [](std::size_t n, const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
  };
  const Case cases[] = {
      {"empty", "", false, {0}},
      {"160 latin", times(160, a), false, {160}},
      {"161 latin", times(161, a), false, {153, 8}},
      {"306 latin", times(306, a), false, {153, 153}},
      {"307 latin", times(307, a), false, {153, 153, 1}},
      {"1024 latin", times(1024, a), false, {153, 153, 153, 153, 153, 153, 106}},
      {"80 brackets: 160 septets", times(80, "["), false, {80}},
      {"81 brackets", times(81, "["), false, {76, 5}},
      {"159 latin and a brace", times(159, a) + "{", false, {153, 7}},
      {"an escape never parted from its code", times(152, a) + "~" + times(10, a), false, {152, 11}},
      {"every character of the extension table", "\f[\\]^{|}~", false, {9}},
      {"69 and a Cyrillic letter", times(69, a) + "\xC0", true, {70}},
      {"70 and a Cyrillic letter", times(70, a) + "\xC0", true, {63, 8}},
      {"126 and a Cyrillic letter", times(126, a) + "\xC0", true, {63, 63, 1}},
      {"1023 and a Cyrillic letter", times(1023, a) + "\xFF", true,
       {63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 16}},
      {"brackets count one in UCS2", times(70, "[") + "\xC0", true, {63, 8}},
      {"Yo, number sign, guillemets", "\xA8\xA8\xA8 \xB9" "5 \xABok\xBB", true, {11}},
      {"Ukrainian i", "\xB2", true, {1}},
      {"grave accent", "`", true, {1}},
      {"tab", "a\tb", true, {3}},
      {"line breaks and form feed stay 7-bit", "a\r\nb\fc", false, {6}},
  };
  for (const auto& c : cases) {
    const SmsCoding coding = ChooseSmsCoding(c.text);
    EXPECT_EQ(coding.ucs2, c.ucs2) << c.name;
    EXPECT_EQ(coding.limit, c.ucs2 ? 70u : 160u) << c.name;
    EXPECT_EQ(coding.partSize, c.ucs2 ? 63u : 153u) << c.name;
    std::vector<std::size_t> sizes;
    std::string joined;
    for (std::string_view part : SmsParts(c.text, coding)) {
      sizes.push_back(part.size());
      joined += part;
    }
    EXPECT_EQ(sizes, c.parts) << c.name;
    EXPECT_EQ(joined, c.text) << c.name;
  }
}

}  // namespace
