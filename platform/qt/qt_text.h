#pragma once
// The Qt boundary: program text is Windows-1251 bytes, Qt's is UTF-16.
#include <QString>
#include <string>
#include <string_view>

QString FromAnsi(std::string_view ansi);
std::string ToAnsi(const QString& text);

// The characters of `text` the code page lacks (ToAnsi makes each a '?'), each
// once, in the order they first appear.
std::u32string CharactersOutsideAnsi(const QString& text);
// Where the first of them starts in `text` (in UTF-16 units), or -1.
qsizetype FirstOutsideAnsi(const QString& text);
