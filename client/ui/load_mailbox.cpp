#include "client/ui/load_mailbox.h"

#include "client/book/qt/report_list.h"
#include "platform/qt/qt_text.h"
#include "protocol/message_file.h"

void LoadMailbox(const std::string& fileName, TReportList* list) {
  list->clear();
  for (const packet& record : ReadMessageFile(fileName)) {
    // A damaged record (a disk fault, a file written by something else) would
    // show as a row of garbage: it stays in the file, unlisted.
    if (!PacketVerify(record)) continue;
    list->AddRow({FromAnsi(record.number()), FromAnsi(record.date()), FromAnsi(record.text())});
  }
}
