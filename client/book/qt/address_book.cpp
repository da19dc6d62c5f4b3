#include "client/book/qt/address_book.h"

#include <QComboBox>
#include <QTreeWidget>

#include "platform/qt/qt_text.h"

namespace {

QTreeWidgetItem* MakeRow(std::string_view name, std::string_view number, std::string_view group) {
  return new QTreeWidgetItem(QStringList{FromAnsi(name), FromAnsi(number), FromAnsi(group)});
}

void FillList(QTreeWidget* list, const std::vector<Contact>& contacts) {
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(contacts.size()));
  for (const auto& c : contacts) rows.append(MakeRow(c.name, c.number, c.group));
  list->clear();
  list->addTopLevelItems(rows);
}

}  // namespace

void LoadGroupNames(std::string_view appDir, QComboBox* groups) {
  QStringList names;
  for (const auto& g : ReadGroupNames(appDir)) names.append(FromAnsi(g));
  // Refilling the list is not a search: the typed text stays and no change is signalled.
  const QSignalBlocker quiet(groups);
  const QString typed = groups->currentText();
  groups->clear();
  groups->addItems(names);
  groups->setEditText(typed);
}

void LoadContacts(std::string_view appDir, QTreeWidget* list) { FillList(list, ReadAllContacts(appDir)); }

// Runs no event loop: a keystroke queued meanwhile is handled after this one,
// never inside it, so the list always ends up showing the latest filter text.
void FilterContacts(std::string_view appDir, const QString& name, const QString& group, QTreeWidget* list) {
  FillList(list, FindContacts(appDir, ToAnsi(name), ToAnsi(group)));
}

QTreeWidgetItem* AddContactRow(QTreeWidget* list, std::string_view name, std::string_view number,
                               std::string_view group) {
  QTreeWidgetItem* row = MakeRow(name, number, group);
  list->addTopLevelItem(row);
  return row;
}

Contact ContactOfRow(const QTreeWidgetItem* row) {
  return Contact{ToAnsi(row->text(kColName)), ToAnsi(row->text(kColNumber)), ToAnsi(row->text(kColGroup))};
}
