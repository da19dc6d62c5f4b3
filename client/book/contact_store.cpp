#include "client/book/contact_store.h"

#include "platform/file_io.h"
#include "platform/ini_file.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

void AppendMatches(Entries entries, std::string_view group, std::string_view name,
                   std::vector<Contact>& out) {
  for (auto& [number, contactName] : entries) {
    if (!NameStartsWith(contactName, name)) continue;
    out.push_back(Contact{std::move(contactName), std::move(number), std::string(group)});
  }
}

// Every group in file order, erasing those without numbers.
std::vector<Contact> ListEveryGroup(std::string_view appDir, std::string_view name) {
  IniFile ini(AddressBookPath(appDir));
  std::vector<Contact> out;
  for (const auto& group : ini.ReadSections()) {
    Entries entries = ini.ReadSectionValues(group);
    if (entries.empty()) {
      ini.EraseSection(group);
      continue;
    }
    AppendMatches(std::move(entries), group, name, out);
  }
  return out;
}

}  // namespace

std::string AddressBookPath(std::string_view appDir) { return PathJoin(appDir, "ab.db"); }

std::vector<std::string> ReadGroupNames(std::string_view appDir) {
  return IniFile(AddressBookPath(appDir)).ReadSections();
}

std::vector<Contact> ReadAllContacts(std::string_view appDir) { return ListEveryGroup(appDir, {}); }

std::vector<Contact> FindContacts(std::string_view appDir, std::string_view name, std::string_view group) {
  if (group.empty()) return ListEveryGroup(appDir, name);
  std::vector<Contact> out;
  AppendMatches(IniFile(AddressBookPath(appDir)).ReadSectionValues(group), group, name, out);
  return out;
}

bool WriteContact(std::string_view appDir, std::string_view group, std::string_view number,
                  std::string_view name) {
  return IniFile(AddressBookPath(appDir)).WriteString(group, number, name);
}

bool DeleteContact(std::string_view appDir, std::string_view group, std::string_view number) {
  return IniFile(AddressBookPath(appDir)).DeleteKey(group, number);
}

bool ReplaceContact(std::string_view appDir, const Contact& old, const Contact& now) {
  if (!WriteContact(appDir, now.group, now.number, now.name)) return false;
  // Same section and key: the write above already replaced the name.
  if (AnsiEqualNoCase(old.group, now.group) && AnsiEqualNoCase(old.number, now.number)) return true;
  return DeleteContact(appDir, old.group, old.number);
}

bool NameStartsWith(std::string_view name, std::string_view prefix) {
  if (name.size() < prefix.size()) return false;
  return AnsiEqualNoCase(name.substr(0, prefix.size()), prefix);
}
