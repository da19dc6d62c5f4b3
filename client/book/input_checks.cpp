#include "client/book/input_checks.h"

#include <algorithm>
#include <cstdio>

#include "client/book/recipients.h"
#include "platform/codepage.h"
#include "platform/ini_file.h"
#include "platform/text_lines.h"

namespace {

bool IsPhoneChar(char c) { return c == '+' || (c >= '0' && c <= '9'); }

InputWarning Warning(std::string_view utf8) { return {Ansi(utf8), Ansi("Предупреждение")}; }

// Characters named in one warning at most; a pasted page of them would not fit a box.
constexpr std::size_t kMostNamed = 10;

std::string CodeName(char32_t c) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
  return name;
}

}  // namespace

bool IsPhoneNumberText(std::string_view text) { return std::all_of(text.begin(), text.end(), IsPhoneChar); }

std::optional<InputWarning> CheckContactInput(std::string_view name, std::string_view number,
                                              std::string_view group) {
  if (!IsPhoneNumberText(number)) return Warning("Номер телефона задан неверно!");
  if (name.empty() || number.empty())
    return Warning("Поля \"имя абонента\" и \"номер телефона\" не должны быть пустыми");
  // A line break would start a line of the file of its own: a contact or a
  // group nobody entered.
  if (HasLineBreak(name)) return Warning("Поле \"имя абонента\" не должно содержать переводов строки");
  if (HasLineBreak(group)) return Warning("Поле \"группа\" не должно содержать переводов строки");
  // The file trims a group's name; such a group would come back as another.
  if (TrimSpaces(group).size() != group.size())
    return Warning("Поле \"группа\" не должно начинаться или кончаться пробелом");
  return std::nullopt;
}

std::optional<InputWarning> CheckComposeInput(std::string_view message, std::string_view recipients) {
  if (message.empty()) return Warning("Невозможно отправить пустое сообщение");
  if (recipients.empty()) return Warning("Не определён список получателей");
  const std::vector<std::string> numbers = SplitRecipients(recipients);
  if (!std::all_of(numbers.begin(), numbers.end(), [](const std::string& n) { return IsPhoneNumberText(n); }))
    return Warning("Номер телефона задан неверно!");
  if (numbers.empty()) return Warning("Не определён список получателей");
  return std::nullopt;
}

InputWarning CodePageWarning(std::u32string_view characters, CodePageUse use) {
  std::string named;
  for (std::size_t i = 0; i < characters.size() && i < kMostNamed; ++i)
    named += (i ? ", " : "") + CodeName(characters[i]);
  if (characters.size() > kMostNamed) named += Ansi(" и другие");
  const std::string verb = use == CodePageUse::Send ? "отправить" : "сохранить";
  return {Ansi("Невозможно " + verb + " символы ") + named + Ansi(": их нет в кодировке Windows-1251"),
          Ansi("Предупреждение")};
}
