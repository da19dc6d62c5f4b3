#pragma once
// The windows a command of the main window waits on: its dialogs, its message
// boxes and the progress window of a send job. While one is up the main window
// takes no input, so no second command starts meanwhile, as under a modal
// window. Unlike under a modal window, the main window can still be closed (a
// modal window has the close dropped), and closing it, which ends the program,
// ends every such wait at once.
#include <QObject>
#include <QPointer>
#include <vector>

class QDialog;
class QWidget;

class CommandWindows : public QObject {
  Q_OBJECT
 public:
  // `owner`: the main window.
  explicit CommandWindows(QWidget& owner);
  ~CommandWindows() override;

  // Shows the dialog over the owner and waits until it is done: its result, or
  // QDialog::Rejected when the owner was closed first (the dialog is then
  // hidden). Once the owner is closed nothing more is shown.
  int Run(QDialog& dialog);

  // For as long as it lives, `window` is shown and the owner takes no input.
  class Hold {
   public:
    Hold(CommandWindows& windows, QWidget& window);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    CommandWindows& windows_;
  };

  // The owner is closing: every wait ends, and nothing more is shown.
  void OwnerClosed();
  bool IsOwnerClosed() const { return ownerClosed_; }
  // The window that takes the input in place of the owner now, or nullptr.
  QWidget* Current() const;

 signals:
  void Closing();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Push(QWidget& window);
  void Pop();
  bool Blocked(const QWidget& target) const;

  QWidget& owner_;
  std::vector<QPointer<QWidget>> shown_;  // the innermost last
  bool ownerClosed_ = false;
};
