// Recipients, input checks and the part counter of the compose and contact dialogs.
#include <gtest/gtest.h>

#include "client/book/input_checks.h"
#include "client/book/part_counter.h"
#include "client/book/recipients.h"
#include "platform/codepage.h"

namespace {

using Numbers = std::vector<std::string>;

// Stray commas and blanks make no recipient: every entry is a number.
TEST(SplitRecipients, CutsAtEveryCommaKeepingRepeatsAndDroppingEmptyEntries) {
  struct Case { const char* text; Numbers numbers; };
  const Case cases[] = {
      {"+79161234567", {"+79161234567"}},
      {"111,222", {"111", "222"}},
      {"111,111", {"111", "111"}},
      {"+79161234567,,89161234567,", {"+79161234567", "89161234567"}},
      {",111,", {"111"}},
      {" 111 , 222\t,  ,", {"111", "222"}},
      {"1 2", {"1 2"}},  // a blank inside stays, for the check to refuse
      {"", {}},
      {" , ,", {}},
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

TEST(CheckContactInput, NumberCharactersFirstThenEmptyFieldsThenWhatTheBookCannotHold) {
  const std::string badNumber = "Номер телефона задан неверно!";
  const std::string emptyField = "Поля \"имя абонента\" и \"номер телефона\" не должны быть пустыми";
  const std::string nameBreak = "Поле \"имя абонента\" не должно содержать переводов строки";
  const std::string groupBreak = "Поле \"группа\" не должно содержать переводов строки";
  const std::string groupBlank = "Поле \"группа\" не должно начинаться или кончаться пробелом";
  struct Case { std::string name, number, group, warning; };
  const Case cases[] = {
      {"Ann", "+7 916", "", badNumber},
      {"Ann", "916-12", "", badNumber},
      {"Ann", "916,12", "", badNumber},
      {"", "12a", "", badNumber},  // the character test comes first
      {"Ann", "", "", emptyField},
      {"", "123", "", emptyField},
      {"Ann", "12+3", "", ""},  // a plus may stand anywhere
      {"Иван", "+79161234567", "Друзья", ""},
      {"Подделка\r\n+7666=x", "1", "", nameBreak},
      {"a\nb", "1", "", nameBreak},
      {"Ann", "1", "Коллеги\n+7777=Чужой", groupBreak},
      {"Ann", "1", "  Друзья  ", groupBlank},
      {"Ann", "1", "Друзья\t", groupBlank},
      {"  \"Ann\"  ", "1", "Г]руппа", ""},  // the book holds these as typed
      {"Ann", "1", "[Скобки]", ""},
  };
  for (const auto& c : cases) {
    const auto w = CheckContactInput(Ansi(c.name), c.number, Ansi(c.group));
    EXPECT_EQ(w ? AnsiToUtf8(w->text) : "", c.warning) << c.name << " / " << c.number << " / " << c.group;
  }
}

TEST(CheckComposeInput, MessageThenRecipientsThenTheirCharacters) {
  struct Case { std::string message, recipients, warning; };
  const Case cases[] = {
      {"", "", "Невозможно отправить пустое сообщение"},
      {"", "12 3", "Невозможно отправить пустое сообщение"},
      {"hi", "", "Не определён список получателей"},
      {"hi", "111 222", "Номер телефона задан неверно!"},
      {"hi", "111;222", "Номер телефона задан неверно!"},
      {"hi", ",,x", "Номер телефона задан неверно!"},
      {"hi", "111, 222", ""},
      {"hi", "111,,222,", ""},
      {"hi", ",", "Не определён список получателей"},
      {"hi", " , ", "Не определён список получателей"},
  };
  for (const auto& c : cases) {
    const auto w = CheckComposeInput(c.message, c.recipients);
    EXPECT_EQ(w ? AnsiToUtf8(w->text) : "", c.warning) << c.recipients;
    if (w) {
      EXPECT_EQ(AnsiToUtf8(w->caption), "Предупреждение");
    }
  }
}

TEST(CodePageWarning, NamesTheCharactersByCodeAndSaysWhy) {
  EXPECT_EQ(AnsiToUtf8(CodePageWarning(U"\U0001F600\u4F60\u597D", CodePageUse::Send).text),
            "Невозможно отправить символы U+1F600, U+4F60, U+597D: их нет в кодировке Windows-1251");
  EXPECT_EQ(AnsiToUtf8(CodePageWarning(U"\u00E9", CodePageUse::Save).text),
            "Невозможно сохранить символы U+00E9: их нет в кодировке Windows-1251");
  const std::u32string many = U"\u4E00\u4E01\u4E02\u4E03\u4E04\u4E05\u4E06\u4E07\u4E08\u4E09\u4E0A";
  EXPECT_EQ(AnsiToUtf8(CodePageWarning(many, CodePageUse::Send).text),
            "Невозможно отправить символы U+4E00, U+4E01, U+4E02, U+4E03, U+4E04, U+4E05, U+4E06, U+4E07, "
            "U+4E08, U+4E09 и другие: их нет в кодировке Windows-1251");
  EXPECT_EQ(AnsiToUtf8(CodePageWarning(many, CodePageUse::Save).caption), "Предупреждение");
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
