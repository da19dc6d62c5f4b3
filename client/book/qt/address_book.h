#pragma once
// The address book on the screen: contact lists (name, number, group columns) and
// group pickers filled from ab.db. The file itself is handled by contact_store.h.
#include <QString>
#include <string_view>

#include "client/book/contact_store.h"

class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;

// Column order of every contact list.
enum ContactColumn { kColName = 0, kColNumber = 1, kColGroup = 2 };

// Refills the picker's list with the group names in file order; the typed text stays.
void LoadGroupNames(std::string_view appDir, QComboBox* groups);
// Refills the list with every contact; erases groups without numbers.
void LoadContacts(std::string_view appDir, QTreeWidget* list);
// Refills the list with the contacts matching a name prefix and a group.
void FilterContacts(std::string_view appDir, const QString& name, const QString& group, QTreeWidget* list);

// Appends one row (texts in Windows-1251) and returns it.
QTreeWidgetItem* AddContactRow(QTreeWidget* list, std::string_view name, std::string_view number,
                               std::string_view group);
// A row's contact, back in Windows-1251.
Contact ContactOfRow(const QTreeWidgetItem* row);
