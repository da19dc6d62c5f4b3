#pragma once
#include <string>

class QTreeView;

// Shows one message file in a message list: number, date and text of each
// sound whole record, oldest first. A missing file leaves the list empty. The
// list's rows come from a MailboxModel, which reads only the rows shown.
void LoadMailbox(const std::string& fileName, QTreeView* list);
