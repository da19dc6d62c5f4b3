// ab.db through the INI file: groups as sections, numbers as keys, names as values.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "client/book/contact_store.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "tests/support/temp_dir.h"

namespace {

// Rows as "name|number|group" in UTF-8, for readable expectations.
std::vector<std::string> Rows(const std::vector<Contact>& contacts) {
  std::vector<std::string> out;
  for (const auto& c : contacts) out.push_back(AnsiToUtf8(c.name + "|" + c.number + "|" + c.group));
  return out;
}

std::vector<std::string> Groups(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& g : ReadGroupNames(dir)) out.push_back(AnsiToUtf8(g));
  return out;
}

using Texts = std::vector<std::string>;

class ContactStore : public ::testing::Test {
 protected:
  void Write(const char* group, const char* number, const char* name) {
    ASSERT_TRUE(WriteContact(dir.path(), Ansi(group), number, Ansi(name)));
  }
  std::vector<std::string> Find(const char* name, const char* group) {
    return Rows(FindContacts(dir.path(), Ansi(name), Ansi(group)));
  }
  TempDir dir;
};

TEST_F(ContactStore, MissingFileGivesEmptyListsAndTheFirstWriteCreatesIt) {
  EXPECT_TRUE(ReadGroupNames(dir.path()).empty());
  EXPECT_TRUE(ReadAllContacts(dir.path()).empty());
  EXPECT_TRUE(FindContacts(dir.path(), "a", "").empty());
  Write("Друзья", "+79161234567", "Иван");
  EXPECT_EQ(Rows(ReadAllContacts(dir.path())), (Texts{"Иван|+79161234567|Друзья"}));
}

TEST_F(ContactStore, ListsGroupsAndNumbersInFileOrder) {
  Write("Работа", "300", "Пётр");
  Write("Друзья", "200", "Анна");
  Write("Работа", "100", "Олег");
  Write("Друзья", "200", "Аня");  // the same number again replaces the name
  Write("Работа", "200", "Анна"); // the same number in another group is another contact
  EXPECT_EQ(Groups(dir.path()), (Texts{"Работа", "Друзья"}));
  EXPECT_EQ(Rows(ReadAllContacts(dir.path())),
            (Texts{"Пётр|300|Работа", "Олег|100|Работа", "Анна|200|Работа", "Аня|200|Друзья"}));
}

TEST_F(ContactStore, LowerAndCapitalNoneNameOneSection) {
  Write("нет", "1", "Added without group");
  Write("Нет", "2", "Edited without group");
  EXPECT_EQ(Groups(dir.path()), (Texts{"нет"}));
  EXPECT_EQ(Rows(ReadAllContacts(dir.path())),
            (Texts{"Added without group|1|нет", "Edited without group|2|нет"}));
}

TEST_F(ContactStore, RemovingTheLastContactLeavesASectionThatAFullListingErases) {
  Write("A", "1", "x");
  Write("B", "2", "y");
  ASSERT_TRUE(DeleteContact(dir.path(), "a", "1"));
  EXPECT_EQ(Groups(dir.path()), (Texts{"A", "B"}));
  EXPECT_EQ(Rows(ReadAllContacts(dir.path())), (Texts{"y|2|B"}));
  EXPECT_EQ(Groups(dir.path()), (Texts{"B"}));
}

TEST_F(ContactStore, NameOnlySearchAlsoErasesEmptyGroupsButAGroupSearchDoesNot) {
  Write("A", "1", "x");
  Write("B", "2", "y");
  ASSERT_TRUE(DeleteContact(dir.path(), "A", "1"));
  EXPECT_TRUE(Find("x", "A").empty());
  EXPECT_EQ(Groups(dir.path()), (Texts{"A", "B"}));
  EXPECT_EQ(Find("y", ""), (Texts{"y|2|B"}));
  EXPECT_EQ(Groups(dir.path()), (Texts{"B"}));
}

TEST_F(ContactStore, FiltersByNamePrefixAnyCaseAndByGroupAsTyped) {
  Write("Друзья", "1", "Иван");
  Write("Друзья", "2", "Игорь");
  Write("Работа", "3", "иванов");
  Write("Работа", "4", "ИВЛЕВ");
  Write("Работа", "5", "И");
  Write("Work", "6", "Ivy");
  Write("Work", "7", "iVAN");
  Write("Work", "8", "Ёлкин");

  struct Case { const char* name; const char* group; Texts rows; };
  const Case cases[] = {
      {"Ив", "", {"Иван|1|Друзья", "иванов|3|Работа", "ИВЛЕВ|4|Работа"}},
      {"иВ", "", {"Иван|1|Друзья", "иванов|3|Работа", "ИВЛЕВ|4|Работа"}},
      {"iv", "", {"Ivy|6|Work", "iVAN|7|Work"}},
      {"Ив", "работа", {"иванов|3|работа", "ИВЛЕВ|4|работа"}},
      {"", "WORK", {"Ivy|6|WORK", "iVAN|7|WORK", "Ёлкин|8|WORK"}},
      {"ёЛ", "", {"Ёлкин|8|Work"}},
      {"Ивановы", "", {}},  // longer than every name
      {"", "Семья", {}},     // no such group
      {"", "", {"Иван|1|Друзья", "Игорь|2|Друзья", "иванов|3|Работа", "ИВЛЕВ|4|Работа", "И|5|Работа",
                "Ivy|6|Work", "iVAN|7|Work", "Ёлкин|8|Work"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Find(c.name, c.group), c.rows) << c.name << " / " << c.group;
}

TEST_F(ContactStore, ReplaceMovesTheContactOrKeepsTheOldOneWhenTheWriteFails) {
  Write("Друзья", "1", "Иван");
  Write("Друзья", "2", "Анна");
  const Contact ivan{Ansi("Иван"), "1", Ansi("Друзья")};
  ASSERT_TRUE(ReplaceContact(dir.path(), ivan, Contact{Ansi("Иван Петров"), "+71", "Work"}));
  EXPECT_EQ(Rows(ReadAllContacts(dir.path())), (Texts{"Анна|2|Друзья", "Иван Петров|+71|Work"}));

  // The same number in the same group under another case only renames.
  ASSERT_TRUE(ReplaceContact(dir.path(), Contact{Ansi("Анна"), "2", Ansi("Друзья")},
                             Contact{Ansi("Аня"), "2", Ansi("ДРУЗЬЯ")}));
  EXPECT_EQ(Rows(ReadAllContacts(dir.path())), (Texts{"Аня|2|Друзья", "Иван Петров|+71|Work"}));

  // The file cannot be replaced while its side copy is blocked by a directory.
  ASSERT_EQ(::mkdir((AddressBookPath(dir.path()) + ".tmp").c_str(), 0700), 0);
  EXPECT_FALSE(ReplaceContact(dir.path(), Contact{Ansi("Аня"), "2", Ansi("Друзья")}, Contact{"A", "3", "B"}));
  EXPECT_EQ(Rows(ReadAllContacts(dir.path())), (Texts{"Аня|2|Друзья", "Иван Петров|+71|Work"}));
}

TEST_F(ContactStore, UnwritableBookIsReported) {
  // A directory where the file should be cannot be replaced.
  TempDir other;
  ASSERT_TRUE(WriteFileAtomically(other.File("x"), ""));
  const std::string notADir = other.File("x");
  EXPECT_FALSE(WriteContact(notADir, "A", "1", "x"));
}

}  // namespace
