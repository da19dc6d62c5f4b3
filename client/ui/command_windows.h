#pragma once
// The windows a command of the main window waits on: its dialogs, its message
// boxes and the progress window of a send job. While one is up the main window
// takes no input, so no second command starts meanwhile, as under a modal
// window. Unlike under a modal window, the main window can still be closed (a
// modal window has the close dropped), and closing it, which ends the program,
// ends every such wait at once.
//
// A command may also wait for the connection to take a packet. Such a wait
// turns the event loop, so every window paints, but no window takes input
// meanwhile: a command started from inside it would send on the connection
// while the packet is half handed over.
#include <QObject>
#include <QPointer>
#include <chrono>
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
  // hidden) or the dialog went away unanswered. Once the owner is closed
  // nothing more is shown.
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

  // Turns the event loop until `socket` can take more, `deadline` passes or the
  // owner closes; true in the first case only. No window takes input meanwhile.
  bool WaitWritable(int socket, std::chrono::steady_clock::time_point deadline);

  // The owner is closing: every wait ends, and nothing more is shown.
  void OwnerClosed();
  bool IsOwnerClosed() const { return ownerClosed_; }
  // The window that takes the input in place of the owner now, or nullptr.
  QWidget* Current() const;
  // The window a message box of a command belongs to: the innermost of the
  // command's own windows that is no box (a dialog whose check raised it),
  // else the owner. Never a box, which goes once answered and takes what it
  // owns along.
  QWidget* BoxOwner() const;

 signals:
  void Closing();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Push(QWidget& window);
  void Pop();
  // Input is filtered while a window is held or a socket is waited for.
  void FilterInput();
  bool Blocked(const QWidget& target) const;

  QWidget& owner_;
  std::vector<QPointer<QWidget>> shown_;  // the innermost last
  int socketWaits_ = 0;
  bool filtering_ = false;
  bool ownerClosed_ = false;
};
