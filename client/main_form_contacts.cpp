// The contacts view's commands and compose, on the main window.
#include "client/main_form.h"

void TMainForm::actContactAddExecute() {}
void TMainForm::actContactEditExecute() {}
void TMainForm::actContactRemoveExecute() {}
void TMainForm::actSearchExecute() {}
void TMainForm::NameToSearchChange() {}
void TMainForm::actComposeExecute() {}
void TMainForm::actPutToMailListExecute() {}
