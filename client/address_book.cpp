#include "client/address_book.h"

#include <QTreeWidget>

void LoadContacts(std::string_view /*appDir*/, QTreeWidget* list) { list->clear(); }
