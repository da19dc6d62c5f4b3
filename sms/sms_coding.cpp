#include "sms/sms_coding.h"

#include <algorithm>
#include <cstdint>

#include "sms/gsm_alphabet.h"

namespace {

// What one character takes of an SMS.
std::size_t Units(char c, const SmsCoding& coding) {
  return !coding.ucs2 && GsmEscaped(static_cast<std::uint8_t>(c)) ? 2 : 1;
}

}  // namespace

SmsCoding ChooseSmsCoding(std::string_view ansiText) {
  const bool placeless = std::any_of(ansiText.begin(), ansiText.end(),
                                     [](char c) { return !GsmHasPlace(static_cast<std::uint8_t>(c)); });
  if (placeless) return SmsCoding{true, 70, 63};
  return SmsCoding{false, 160, 153};
}

std::vector<std::string_view> SmsParts(std::string_view ansiText, const SmsCoding& coding) {
  std::size_t total = 0;
  for (char c : ansiText) total += Units(c, coding);
  if (total <= coding.limit) return {ansiText};
  std::vector<std::string_view> parts;
  std::size_t begin = 0;
  std::size_t used = 0;
  for (std::size_t i = 0; i < ansiText.size(); ++i) {
    const std::size_t units = Units(ansiText[i], coding);
    if (used + units > coding.partSize) {
      parts.push_back(ansiText.substr(begin, i - begin));
      begin = i;
      used = 0;
    }
    used += units;
  }
  parts.push_back(ansiText.substr(begin));
  return parts;
}
