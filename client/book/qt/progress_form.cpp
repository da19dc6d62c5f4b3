#include "client/book/qt/progress_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QProgressBar>

TProgressForm::TProgressForm(QWidget* owner, int recipients)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint) {
  setFixedSize(326, 70);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setGeometry(16, 16, 297, 33);
  ProgressBar->setRange(0, recipients);
  ProgressBar->setValue(0);
}

void TProgressForm::Start() {
  running_ = true;
  show();
  QCoreApplication::processEvents();
}

void TProgressForm::StepIt() {
  ProgressBar->setValue(ProgressBar->value() + 1);
  QCoreApplication::processEvents();
}

void TProgressForm::Finish() {
  running_ = false;
  close();
}

void TProgressForm::reject() {
  if (!running_) QDialog::reject();
}

void TProgressForm::closeEvent(QCloseEvent* event) {
  if (running_)
    event->ignore();
  else
    QDialog::closeEvent(event);
}
