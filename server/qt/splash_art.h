#pragma once
// The server's own pictures, drawn at run time: the splash and the tray icon.
#include <QIcon>
#include <QPixmap>

QPixmap SplashPicture(int width, int height);
QIcon TrayPicture();
