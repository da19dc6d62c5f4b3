#pragma once
// The address book's routines that fill the main window's contacts list.
#include <string_view>

class QTreeWidget;

// Clears the list and fills it with every contact of ab.db in `appDir`.
void LoadContacts(std::string_view appDir, QTreeWidget* list);
