#pragma once
// A dialog whose confirmation is checked before it closes: when the check
// refuses (it tells the user why), the dialog stays open with what was typed.
#include <QDialog>
#include <functional>

class TCheckedDialog : public QDialog {
  Q_OBJECT
 public:
  using QDialog::QDialog;

  // Asked on every confirmation; false keeps the dialog open.
  using Check = std::function<bool()>;
  void SetCheck(Check check) { check_ = std::move(check); }

  // Closes with `result` once the check lets it.
  void Confirm(int result);
  void accept() override { Confirm(Accepted); }

 private:
  Check check_;
};
