// Recipients, input checks and the part counter of the compose and contact dialogs.
#include <gtest/gtest.h>

#include "client/book/input_checks.h"
#include "client/book/part_counter.h"
#include "client/book/recipients.h"
#include "platform/codepage.h"

namespace {

using Numbers = std::vector<std::string>;

TEST(SplitRecipients, CutsAtEveryCommaKeepingEmptyAndRepeatedNumbers) {
  struct Case { const char* text; Numbers numbers; };
  const Case cases[] = {
      {"+79161234567", {"+79161234567"}},
      {"111,222", {"111", "222"}},
      {"111,,222", {"111", "", "222"}},
      {",111,", {"", "111", ""}},
      {"111,111", {"111", "111"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitRecipients(c.text), c.numbers) << c.text;
}

TEST(AddRecipient, SkipsNumbersAlreadyContainedAndSeparatesWithComma) {
  std::string r;
  EXPECT_TRUE(AddRecipient(r, "+79161234567"));
  EXPECT_EQ(r, "+79161234567");
  EXPECT_FALSE(AddRecipient(r, "1234567"));  // inside the longer number
  EXPECT_FALSE(AddRecipient(r, "+79161234567"));
  EXPECT_TRUE(AddRecipient(r, "8800"));
  EXPECT_EQ(r, "+79161234567,8800");
}

TEST(CheckContactInput, NumberCharactersFirstThenEmptyFields) {
  const std::string badNumber = Ansi("Номер телефона задан неверно!");
  const std::string emptyField = Ansi("Поля \"имя абонента\" и \"номер телефона\" не должны быть пустыми");
  struct Case { std::string name, number, warning; };
  const Case cases[] = {
      {"Ann", "+7 916", badNumber},
      {"Ann", "916-12", badNumber},
      {"Ann", "916,12", badNumber},
      {"", "12a", badNumber},  // the character test comes first
      {"Ann", "", emptyField},
      {"", "123", emptyField},
      {"Ann", "12+3", ""},  // a plus may stand anywhere
      {Ansi("Иван"), "+79161234567", ""},
  };
  for (const auto& c : cases) {
    const auto w = CheckContactInput(c.name, c.number);
    EXPECT_EQ(w ? w->text : "", c.warning) << c.name << " / " << c.number;
  }
}

TEST(CheckComposeInput, MessageThenRecipientsThenTheirCharacters) {
  struct Case { std::string message, recipients, warning; };
  const Case cases[] = {
      {"", "", "Невозможно отправить пустое сообщение"},
      {"", "12 3", "Невозможно отправить пустое сообщение"},
      {"hi", "", "Не определён список получателей"},
      {"hi", "111, 222", "Номер телефона задан неверно!"},
      {"hi", "111;222", "Номер телефона задан неверно!"},
      {"hi", "111,,222", ""},
      {"hi", ",", ""},
  };
  for (const auto& c : cases) {
    const auto w = CheckComposeInput(c.message, c.recipients);
    EXPECT_EQ(w ? AnsiToUtf8(w->text) : "", c.warning) << c.recipients;
    if (w) {
      EXPECT_EQ(AnsiToUtf8(w->caption), "Предупреждение");
    }
  }
}

TEST(PartCounterText, CountsPartsByTheSharedCodingRule) {
  const std::string cyr = Ansi("ж");
  const std::string yo = Ansi("ё");  // 0xB8: no place in the 7-bit alphabet either
  struct Case { std::string text; const char* shown; };
  const Case cases[] = {
      {"", "Сообщений: 1  Знаков: 0"},
      {std::string(160, 'a'), "Сообщений: 1  Знаков: 160"},
      {std::string(161, 'a'), "Сообщений: 2  Знаков: 161"},
      {std::string(306, 'a'), "Сообщений: 2  Знаков: 306"},
      {std::string(307, 'a'), "Сообщений: 3  Знаков: 307"},
      {cyr + std::string(69, 'a'), "Сообщений: 1  Знаков: 70"},
      {cyr + std::string(70, 'a'), "Сообщений: 2  Знаков: 71"},
      {cyr + std::string(125, 'a'), "Сообщений: 2  Знаков: 126"},
      {cyr + std::string(126, 'a'), "Сообщений: 3  Знаков: 127"},
      {yo + std::string(159, 'a'), "Сообщений: 3  Знаков: 160"},
      {std::string(80, '['), "Сообщений: 1  Знаков: 80"},  // two septets each
      {std::string(81, '['), "Сообщений: 2  Знаков: 81"},
      {"a\r\nb", "Сообщений: 1  Знаков: 4"},
  };
  for (const auto& c : cases) EXPECT_EQ(AnsiToUtf8(PartCounterText(c.text)), c.shown) << c.text.size();
}

}  // namespace
