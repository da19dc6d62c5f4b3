#pragma once
// The compose dialog: recipients, message text with its part counter, and a
// contact picker that adds numbers to the recipients. Created per use with the
// main window as owner and run modally; "Отправить" accepts it once the
// caller's check lets it. Tab in the message moves on to the next field.
#include "client/book/qt/checked_dialog.h"
#include <string>

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QComboBox;
class QPushButton;
class QTextEdit;
class TReportList;
class QWidget;

// The most a message may hold: one packet text, in Windows-1251 bytes.
inline constexpr int kMaxMessageBytes = 1024;

class TComposeForm : public TCheckedDialog {
  Q_OBJECT
 public:
  TComposeForm(QWidget* owner, std::string appDir);

  // Fills the picker: every contact, nothing checked, and the group names.
  void LoadPicker();

  // What the dialog holds, in Windows-1251; line breaks of the message are CR LF.
  std::string MessageAnsi() const;
  std::string RecipientsAnsi() const;

  void MessageTextChange();
  void NameToSearchChange();
  void pmAddClick();
  void pmAddAllClick();
  void pmAddCheckedClick();

  QWidget* ComposePanel;
  QWidget* RecepientsPanel;
  QLabel* RecepientsCaption;
  QLineEdit* RecepientsEdit;
  QLabel* MessageCaption;
  QTextEdit* MessageText;
  QLabel* CounterLabel;
  QPushButton* btnSend;
  QPushButton* btnAbort;
  QWidget* PanelContacts;
  QWidget* ContactsSearchPanel;
  QLabel* CaptionSearch;
  QLineEdit* NameToSearch;
  QLabel* GroupLabel;
  QComboBox* GroupToSearch;
  TReportList* ContactsList;
  QMenu* PopupMenu;
  QAction* pmAdd;
  QAction* pmAddAll;
  QAction* pmAddChecked;

 private:
  void KeepWithinLimit();
  void ShowCheckBoxes();
  void AddNumbersOf(bool onlyChecked);

  std::string appDir_;
};
