#pragma once
// The Qt boundary: program text is Windows-1251 bytes, Qt's is UTF-16.
#include <QString>
#include <string>
#include <string_view>

QString FromAnsi(std::string_view ansi);
std::string ToAnsi(const QString& text);
