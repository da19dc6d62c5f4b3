// The contacts view's commands and compose, on the main window.
#include <QComboBox>
#include <QLineEdit>
#include <QTextEdit>
#include <QToolButton>
#include <functional>
#include <memory>

#include "client/book/input_checks.h"
#include "client/book/qt/address_book.h"
#include "client/book/qt/compose_form.h"
#include "client/book/qt/edit_form.h"
#include "client/book/qt/progress_form.h"
#include "client/book/qt/report_list.h"
#include "client/book/recipients.h"
#include "client/book/send_job.h"
#include "client/ui/main_form.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/qt/qt_text.h"

namespace {

void Warn(const InputWarning& w) { MessageBox(w.text, w.caption, MbButtons::Ok, MbIcon::Warning); }

void WarnNotSaved(const std::string& path) {
  MessageBox(Ansi("Не удалось записать файл ") + path, Ansi("Предупреждение"), MbButtons::Ok, MbIcon::Warning);
}

Contact InputOf(const TEditForm& form) {
  return {ToAnsi(form.NameEdit->text()), ToAnsi(form.NumEdit->text()), ToAnsi(form.GroupSelect->currentText())};
}

// Names the characters of `text` the code page lacks and has `select`(from, to)
// mark the first of them; false when there are none.
bool RefuseCharactersOutsideAnsi(const QString& text, CodePageUse use, const std::function<void(int, int)>& select) {
  const std::u32string lacking = CharactersOutsideAnsi(text);
  if (lacking.empty()) return false;
  Warn(CodePageWarning(lacking, use));
  const auto at = static_cast<int>(FirstOutsideAnsi(text));
  select(at, at + (text.at(at).isHighSurrogate() ? 2 : 1));
  return true;
}

// What the contact dialog holds, checked before it closes: the first fault is
// told and the dialog stays open.
bool ContactTyped(const TEditForm& form) {
  const Contact in = InputOf(form);
  if (auto w = CheckContactInput(in.name, in.number, in.group)) {
    Warn(*w);
    return false;
  }
  for (QLineEdit* field : {form.NameEdit, form.GroupSelect->lineEdit()}) {
    const auto select = [field](int from, int to) {
      field->setFocus();
      field->setSelection(from, to - from);
    };
    if (RefuseCharactersOutsideAnsi(field->text(), CodePageUse::Save, select)) return false;
  }
  return true;
}

bool SameContact(const QTreeWidgetItem* row, const Contact& c) {
  if (!row) return false;
  const Contact now = ContactOfRow(row);
  return now.name == c.name && now.number == c.number && now.group == c.group;
}

}  // namespace

void TMainForm::actContactAddExecute() {
  auto form = std::make_unique<TEditForm>(this);
  form->ClearFields();
  LoadGroupNames(AppDir, form->GroupSelect);
  form->setWindowTitle(QStringLiteral("Создать новый"));
  form->SetCheck([&typed = *form] { return ContactTyped(typed); });
  if (windows_.Run(*form) != QDialog::Accepted) return;
  Contact in = InputOf(*form);
  form.reset();
  // Without a group the contact goes to "нет"; the edit command's "Нет" is the same section.
  if (in.group.empty()) in.group = Ansi("нет");
  // The row is shown only for a contact that reached the file.
  if (!WriteContact(AppDir, in.group, in.number, in.name)) return WarnNotSaved(AddressBookPath(AppDir));
  AddContactRow(ContactsList, in.name, in.number, in.group);
}

void TMainForm::actContactEditExecute() {
  const QTreeWidgetItem* selected = ContactsList->Selected();
  if (!selected) return;
  const int index = ContactsList->indexOfTopLevelItem(selected);
  const Contact old = ContactOfRow(selected);

  auto form = std::make_unique<TEditForm>(this);
  form->ClearFields();
  form->setWindowTitle(QStringLiteral("Редактировать"));
  form->FillFields(FromAnsi(old.name), FromAnsi(old.number), FromAnsi(old.group));
  LoadGroupNames(AppDir, form->GroupSelect);
  form->SetCheck([&typed = *form] { return ContactTyped(typed); });
  if (windows_.Run(*form) != QDialog::Accepted) return;
  Contact in = InputOf(*form);
  form.reset();

  // The list may have been refilled while the dialog was open: change the row
  // only when it still shows the contact that was edited.
  QTreeWidgetItem* row = ContactsList->Row(index);
  if (!SameContact(row, old)) row = nullptr;
  if (in.group.empty()) in.group = Ansi("Нет");
  if (!ReplaceContact(AppDir, old, in))
    return WarnNotSaved(AddressBookPath(AppDir));
  if (row) {
    row->setText(kColName, FromAnsi(in.name));
    row->setText(kColNumber, FromAnsi(in.number));
    row->setText(kColGroup, FromAnsi(in.group));
  }
}

void TMainForm::actContactRemoveExecute() {
  QTreeWidgetItem* row = ContactsList->Selected();
  if (!row) return;
  const Contact c = ContactOfRow(row);
  const std::string question = Ansi("Удалить запись ") + "\"" + c.name + "\"" + Ansi(" из списка контактов");
  if (MessageBox(question, Ansi("Подтверждение"), MbButtons::OkNo, MbIcon::Question) != MbResult::Ok) return;
  if (!DeleteContact(AppDir, c.group, c.number)) return WarnNotSaved(AddressBookPath(AppDir));
  delete row;
}

void TMainForm::actSearchExecute() {
  const bool show = ContactsSearchPanel->isHidden();
  ContactsSearchPanel->setVisible(show);
  if (show) {
    ContactsList->resize(ContactsList->width(), ContactsList->height() - kListGivesUp);
    LoadGroupNames(AppDir, GroupToSearch);
  } else {
    ContactsList->resize(ContactsList->width(), ContactsList->height() + kListGivesUp);
    LoadContacts(AppDir, ContactsList);
  }
}

void TMainForm::NameToSearchChange() {
  FilterContacts(AppDir, NameToSearch->text(), GroupToSearch->currentText(), ContactsList);
}

void TMainForm::actComposeExecute() {
  ResetQuickMenuHighlight();
  Highlight(qmCompose);
  if (!client_.connected()) {
    ResetQuickMenuHighlight();
    MessageBox(Ansi("Вы не подключены к серверу"), Ansi("Предупреждение"), MbButtons::Ok, MbIcon::Warning);
    return;
  }
  if (LoginStillNeeded()) {
    ResetQuickMenuHighlight();
    return;
  }
  auto form = std::make_unique<TComposeForm>(this, AppDir);
  form->LoadPicker();
  form->SetCheck([this, &typed = *form] { return ComposeTyped(typed); });
  if (windows_.Run(*form) != QDialog::Accepted) {
    ResetQuickMenuHighlight();
    return;
  }
  MailList = SplitRecipients(form->RecipientsAnsi());
  std::string message = form->MessageAnsi();
  form.reset();

  TProgressForm progress(this, static_cast<int>(MailList.size()));
  SendJobResult result;
  const SendJob job{MailList, std::move(message), JobDateText(Now())};
  const std::string outbox = PathJoin(AppDir, "outbox.db");
  {
    const CommandWindows::Hold hold(windows_, progress);
    progress.Start();
    // Closing the main window stops the job after the packet in hand.
    result = RunSendJob(
        job, outbox, [this](packet& p) { return client_.Send(p); },
        [this, &progress](std::size_t) {
          progress.StepIt();
          return !windows_.IsOwnerClosed();
        });
    progress.Finish();
  }
  if (windows_.IsOwnerClosed()) return;  // the program is ending
  if (result.notSent > 0)
    MessageBox(Ansi("Не отправлено сообщений: ") + std::to_string(result.notSent) + Ansi(" из ") +
                   std::to_string(job.numbers.size()),
               Ansi("Предупреждение"), MbButtons::Ok, MbIcon::Warning);
  if (!result.recorded) WarnNotSaved(outbox);
  ResetQuickMenuHighlight();
}

// Checked before the dialog closes, so a refusal keeps what was typed.
bool TMainForm::ComposeTyped(TComposeForm& form) {
  if (auto w = CheckComposeInput(form.MessageAnsi(), form.RecipientsAnsi())) {
    Warn(*w);
    return false;
  }
  QTextEdit* message = form.MessageText;
  const auto select = [message](int from, int to) {
    QTextCursor cursor = message->textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    message->setTextCursor(cursor);
    message->setFocus();
  };
  if (RefuseCharactersOutsideAnsi(message->toPlainText(), CodePageUse::Send, select)) return false;
  return !LoginStillNeeded();
}

void TMainForm::actPutToMailListExecute() {
  for (int i = 0; i < ContactsList->RowCount(); ++i) {
    const QTreeWidgetItem* row = ContactsList->Row(i);
    if (row->checkState(kColName) == Qt::Checked) MailList.push_back(ToAnsi(row->text(kColNumber)));
  }
}
