#include "client/progress_form.h"

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

void TProgressForm::StepIt() {
  ProgressBar->setValue(ProgressBar->value() + 1);
  ProgressBar->repaint();
}
