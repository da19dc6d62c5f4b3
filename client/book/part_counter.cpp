#include "client/book/part_counter.h"

#include "platform/codepage.h"
#include "sms/sms_coding.h"

std::string PartCounterText(std::string_view ansiText) {
  const std::size_t parts = SmsParts(ansiText, ChooseSmsCoding(ansiText)).size();
  return Ansi("Сообщений: ") + std::to_string(parts) + Ansi("  Знаков: ") + std::to_string(ansiText.size());
}
