#include "client/ui/load_mailbox.h"

#include <QTreeView>

#include "client/ui/mailbox_model.h"

void LoadMailbox(const std::string& fileName, QTreeView* list) {
  // One model for the list's life, so its columns keep their widths.
  auto* model = qobject_cast<MailboxModel*>(list->model());
  if (!model) {
    model = new MailboxModel(list);
    list->setModel(model);
  }
  model->Open(fileName);
}
