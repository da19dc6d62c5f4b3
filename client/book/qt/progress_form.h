#pragma once
// The progress window of a send job: one bar from 0 to the number of recipients.
// Created per job with the main window as owner, which shows it as a window it
// waits on: the event loop turns between packets, so the window paints and the
// main window can be closed, while the user can start nothing else (no second
// job). The window itself cannot be closed.
#include <QDialog>

class QProgressBar;

class TProgressForm : public QDialog {
  Q_OBJECT
 public:
  TProgressForm(QWidget* owner, int recipients);
  // Shows the window and lets it paint before the first packet goes.
  void Start();
  // Moves the bar on by one and lets the event loop turn.
  void StepIt();
  // The job is over: the window closes.
  void Finish();

  QProgressBar* ProgressBar;

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool running_ = false;
};
