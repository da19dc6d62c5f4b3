#pragma once
// The program's own pictures, drawn in code: the quick-menu buttons, the contacts
// tool bar and the window icon.
#include <QIcon>

QIcon ComposePicture();
QIcon OutBoxPicture();
QIcon InBoxPicture();
QIcon ContactsPicture();
QIcon OptionsPicture();

QIcon AddPicture();
QIcon EditPicture();
QIcon RemovePicture();
QIcon SearchPicture();

QIcon ProgramIcon();
