#pragma once
// The progress window of a send job: one bar from 0 to the number of recipients.
// Created per job with the main window as owner, shown without being modal.
#include <QDialog>

class QProgressBar;

class TProgressForm : public QDialog {
  Q_OBJECT
 public:
  TProgressForm(QWidget* owner, int recipients);
  // Moves the bar on by one and repaints it at once (the job keeps the event loop).
  void StepIt();

  QProgressBar* ProgressBar;
};
