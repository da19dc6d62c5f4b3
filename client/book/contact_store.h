#pragma once
// The address book ab.db: an INI file whose sections are groups, keys phone
// numbers and values contact names (Windows-1251). Every routine opens the file
// afresh, so nothing of it is kept between calls.
#include <string>
#include <string_view>
#include <vector>

struct Contact {
  std::string name;
  std::string number;
  std::string group;
};

std::string AddressBookPath(std::string_view appDir);

// Group names in file order; a missing file gives none.
std::vector<std::string> ReadGroupNames(std::string_view appDir);

// Every contact: groups in file order, numbers in key order. Groups without
// numbers are erased from the file on the way.
std::vector<Contact> ReadAllContacts(std::string_view appDir);

// The contacts whose names begin with `name` (any case, Cyrillic included) in the
// group `group`; an empty filter matches everything. Rows of a named group carry
// the group as typed; a name-only search lists every group and erases empty ones.
std::vector<Contact> FindContacts(std::string_view appDir, std::string_view name, std::string_view group);

// Key number = name in section group; the file and the section are created as
// needed. False when the file cannot be written.
bool WriteContact(std::string_view appDir, std::string_view group, std::string_view number,
                  std::string_view name);

// Removes the key; the section stays even when it is now empty.
bool DeleteContact(std::string_view appDir, std::string_view group, std::string_view number);

// Moves a contact to a new group, number and name. The new entry is written
// before the old one is removed, so a failure or crash in between leaves the
// contact twice rather than not at all. False when the new entry was not written
// (the old one then stays).
bool ReplaceContact(std::string_view appDir, const Contact& old, const Contact& now);

// True when `name` begins with `prefix`, without regard to case.
bool NameStartsWith(std::string_view name, std::string_view prefix);
