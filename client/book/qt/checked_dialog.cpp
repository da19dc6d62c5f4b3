#include "client/book/qt/checked_dialog.h"

void TCheckedDialog::Confirm(int result) {
  if (check_ && !check_()) return;
  done(result);
}
