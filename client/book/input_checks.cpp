#include "client/book/input_checks.h"

#include <algorithm>

#include "platform/codepage.h"

namespace {

bool IsPhoneChar(char c) { return c == '+' || (c >= '0' && c <= '9'); }

InputWarning Warning(std::string_view utf8) { return {Ansi(utf8), Ansi("Предупреждение")}; }

}  // namespace

bool IsPhoneNumberText(std::string_view text) { return std::all_of(text.begin(), text.end(), IsPhoneChar); }

bool IsRecipientsText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return IsPhoneChar(c) || c == ','; });
}

std::optional<InputWarning> CheckContactInput(std::string_view name, std::string_view number) {
  if (!IsPhoneNumberText(number)) return Warning("Номер телефона задан неверно!");
  if (name.empty() || number.empty())
    return Warning("Поля \"имя абонента\" и \"номер телефона\" не должны быть пустыми");
  return std::nullopt;
}

std::optional<InputWarning> CheckComposeInput(std::string_view message, std::string_view recipients) {
  if (message.empty()) return Warning("Невозможно отправить пустое сообщение");
  if (recipients.empty()) return Warning("Не определён список получателей");
  if (!IsRecipientsText(recipients)) return Warning("Номер телефона задан неверно!");
  return std::nullopt;
}
