#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/ini_file.h"
#include "tests/support/denied_access.h"
#include "tests/support/temp_dir.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.File("Config.ini");
  IniFile ini{path};
  void Given(std::string_view text) { ASSERT_TRUE(WriteFileAtomically(path, text)); }
};

TEST_F(IniFileTest, MissingFileGivesDefaults) {
  EXPECT_EQ(ini.ReadString("CONNECTION", "ServerIP", "127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(ini.ReadInteger("CONNECTION", "Port", 8099), 8099);
  EXPECT_TRUE(ini.ReadSections().empty());
  EXPECT_FALSE(ini.SectionExists("CONNECTION"));
}

TEST_F(IniFileTest, SectionsAndKeysMatchWithoutCaseCyrillicIncluded) {
  Given("[connection]\r\n  port = 9000 \r\nNeedReg=1\r\n[" + Ansi("Нет") + "]\r\n+7123=" + Ansi("Иван") + "\r\n");
  EXPECT_EQ(ini.ReadInteger("CONNECTION", "Port", 0), 9000);
  EXPECT_EQ(ini.ReadString("Connection", "PORT", ""), "9000");
  EXPECT_EQ(ini.ReadString(Ansi("нет"), "+7123", ""), Ansi("Иван"));
  EXPECT_EQ(ini.ReadString(Ansi("НЕТ"), "+7123", ""), Ansi("Иван"));
  EXPECT_TRUE(AnsiEqualNoCase(Ansi("ЁЛКА ЇЖАК"), Ansi("ёлка їжак")));
  EXPECT_FALSE(AnsiEqualNoCase(Ansi("Нет"), Ansi("Нит")));
}

TEST_F(IniFileTest, IntegersDecimalOrHexElseDefault) {
  struct Case { const char* text; long expected; };
  const Case cases[] = {
      {"8099", 8099}, {"0x1F", 31}, {"0X1f", 31}, {"-5", -5}, {" 12 ", 12}, {"0", 0},
      {"true", -1}, {"12abc", -1}, {"0x", -1}, {"", -1}, {"1.5", -1}, {"$10", -1},
      {"99999999999999999999999", -1},
      // 32-bit integers only: a wider number is not wrapped or clipped.
      {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"0x7FFFFFFF", 2147483647},
      {"2147483648", -1}, {"-2147483649", -1}, {"0x80000000", -1}, {"4294967296", -1},
  };
  for (const auto& c : cases) {
    Given(std::string("[S]\nK=") + c.text + "\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", -1), c.expected) << c.text;
  }
}

TEST_F(IniFileTest, ListsInFileOrder) {
  Given("[B]\nz=1\na=2\n[a]\nk=v\n[C]\n");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"B", "a", "C"}));
  EXPECT_EQ(ini.ReadSection("b"), (std::vector<std::string>{"z", "a"}));
  EXPECT_TRUE(ini.ReadSection("C").empty());
  EXPECT_TRUE(ini.SectionExists("c"));
  const auto values = ini.ReadSectionValues("B");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[1], (std::pair<std::string, std::string>{"a", "2"}));
}

TEST_F(IniFileTest, WritesCreateReplaceAndKeepUnknownLines) {
  ASSERT_TRUE(ini.WriteString("Group", "+7001", "Anna"));  // creates file and section
  EXPECT_EQ(ini.ReadString("Group", "+7001", ""), "Anna");
  Given(*ReadWholeFile(path) + "; a comment the reader skips\ngarbage line\n");
  ASSERT_TRUE(ini.WriteString("GROUP", "+7001", "Boris"));  // replaces, no second key
  ASSERT_TRUE(ini.WriteString("group", "+7002", "Vera"));
  ASSERT_TRUE(ini.WriteInteger("Other", "Port", 8100));
  EXPECT_EQ(ini.ReadSection("Group"), (std::vector<std::string>{"+7001", "+7002"}));
  EXPECT_EQ(ini.ReadString("Group", "+7001", ""), "Boris");
  EXPECT_EQ(ini.ReadInteger("other", "port", 0), 8100);
  const std::string text = *ReadWholeFile(path);
  EXPECT_NE(text.find("; a comment the reader skips"), std::string::npos);
  EXPECT_NE(text.find("garbage line"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(IniFileTest, DeleteKeyKeepsSectionEraseSectionRemovesIt) {
  Given("[A]\nx=1\n[B]\ny=2\n[A]\nz=3\n");
  ASSERT_TRUE(ini.DeleteKey("a", "X"));
  EXPECT_TRUE(ini.SectionExists("A"));
  EXPECT_TRUE(ini.ReadSection("A").empty());
  ASSERT_TRUE(ini.EraseSection("a"));  // every section of that name
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"B"}));
  EXPECT_EQ(ini.ReadString("B", "y", ""), "2");
  EXPECT_TRUE(ini.DeleteKey("Missing", "k"));
}

TEST_F(IniFileTest, KeepsCrLfFilesCrLf) {
  Given("[A]\r\nx=1\r\n");
  ASSERT_TRUE(ini.WriteString("A", "y", "2"));
  EXPECT_EQ(*ReadWholeFile(path), "[A]\r\nx=1\r\ny=2\r\n");
}

// A value reads back as written: one the reader would trim or unquote goes
// in quotes. A section name may hold "]" and brackets.
TEST_F(IniFileTest, WhatIsWrittenReadsBackByteForByte) {
  const std::vector<std::string> values = {
      "  blanks  ", "\"quoted\"", "'single'", "\"\"", "\"", "a=b;c", "\tTab", "mid \" quote", "", "plain",
  };
  const std::vector<std::string> sections = {"G]roup", "[Brackets]", "]", "[", "a [b] c", ";x", "=y", "\"q\""};
  for (const auto& section : sections) {
    for (std::size_t i = 0; i < values.size(); ++i)
      ASSERT_TRUE(ini.WriteString(section, "+" + std::to_string(i), values[i])) << section << values[i];
  }
  EXPECT_EQ(ini.ReadSections(), sections);
  for (const auto& section : sections) {
    const auto read = ini.ReadSectionValues(section);
    ASSERT_EQ(read.size(), values.size()) << section;
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(read[i].second, values[i]) << section;
  }
}

// What would come back otherwise (a line break starts a line of its own, blanks
// around a name are trimmed, a key may read as a header or a comment) is not
// written, and the file stays as it was.
TEST_F(IniFileTest, WhatTheFileCannotHoldIsNotWritten) {
  ASSERT_TRUE(ini.WriteString("A", "k", "v"));
  const std::string before = *ReadWholeFile(path);
  struct Case { const char* section; const char* key; const char* value; };
  const Case cases[] = {
      {"A\nB", "k", "v"}, {"A", "k\r", "v"}, {"A", "k", "x\n+7=y"}, {"A", "k", "x\ry"},
      {" A", "k", "v"},    {"A\t", "k", "v"},  {"A", " k", "v"},       {"A", "k ", "v"},
      {"A", "", "v"},      {"A", "[k", "v]"}, {"A", ";k", "v"},        {"A", "k=1", "v"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(IniHolds(c.section, c.key, c.value)) << c.section << "|" << c.key << "|" << c.value;
    EXPECT_FALSE(ini.WriteString(c.section, c.key, c.value));
  }
  EXPECT_EQ(*ReadWholeFile(path), before);
  EXPECT_TRUE(IniHolds("A]", "+7", " \"x\" "));
}

TEST_F(IniFileTest, UnwritableFileReportsFailure) {
  IniFile nowhere(dir.File("no/such/dir/Config.ini"));
  EXPECT_FALSE(nowhere.WriteString("A", "k", "v"));
}

// A file that cannot be read is no empty file: it reads as defaults, and no write
// puts a file of one key in its place.
TEST_F(IniFileTest, AFileThatCannotBeReadIsNeverWrittenOver) {
  Given("[A]\nk=1\nother=2\n");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  {
    const WithoutFileOverride asAnyUser;
    EXPECT_EQ(ini.ReadInteger("A", "k", 7), 7);
    EXPECT_FALSE(ini.WriteString("A", "k", "3"));
    EXPECT_FALSE(ini.DeleteKey("A", "k"));
    EXPECT_FALSE(ini.EraseSection("A"));
  }
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  EXPECT_EQ(ReadWholeFile(path), "[A]\nk=1\nother=2\n");

  // A FIFO is neither waited on nor replaced.
  std::filesystem::remove(path);
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  EXPECT_EQ(ini.ReadString("A", "k", "none"), "none");
  EXPECT_FALSE(ini.WriteString("A", "k", "3"));
  EXPECT_TRUE(std::filesystem::is_fifo(path));
}

}  // namespace
