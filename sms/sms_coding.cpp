#include "sms/sms_coding.h"

#include <algorithm>

SmsCoding ChooseSmsCoding(std::string_view ansiText) {
  const bool cyrillic = std::any_of(ansiText.begin(), ansiText.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0xC0; });
  if (cyrillic) return SmsCoding{true, 70, 63};
  return SmsCoding{false, 160, 153};
}

std::size_t SmsPartCount(std::size_t length, const SmsCoding& coding) {
  if (length <= coding.limit) return 1;
  return (length + coding.partSize - 1) / coding.partSize;
}
