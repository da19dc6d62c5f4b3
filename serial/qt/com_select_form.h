#pragma once
// The port selection dialog, asked when a port is opened with no port number:
// it lists the COM ports 1 to 50 that are available now.
#include <QDialog>
#include <optional>
#include <string>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

class TComSelectForm : public QDialog {
  Q_OBJECT
 public:
  // The dialog's results: OK, and "Cancel" (closing it otherwise gives 0).
  static constexpr int kResultOk = 1;
  static constexpr int kResultAbort = 3;

  explicit TComSelectForm(QWidget* owner = nullptr);

  // The selected item's text ("COM3"); empty when the list is empty.
  std::string SelectedCom() const;
  // The number in the selected item (COM12 gives 12); 0 when no item is selected.
  int SelectedComNum() const;

  QLabel* Label1;
  QLabel* Label2;
  QFrame* Bevel1;
  QComboBox* PortsComboBox;
  QPushButton* OkBtn;
  QPushButton* AbortBtn;

 private:
  void FormCreate();
};

// Shows the dialog modally and gives the port chosen with OK; none when it is
// cancelled or closed, or when OK is pressed on an empty list.
std::optional<unsigned> AskForComPort();

// Makes the dialog what an open with no port number asks. It is shown on the
// main thread whichever thread opens; the opening thread waits for the answer
// (or for the program's close, which cancels it).
void InstallComSelectForm();
