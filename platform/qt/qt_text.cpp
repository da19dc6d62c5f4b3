#include "platform/qt/qt_text.h"

#include <QList>

#include "platform/codepage.h"

QString FromAnsi(std::string_view ansi) {
  QString out;
  out.reserve(static_cast<qsizetype>(ansi.size()));
  for (char ch : ansi) out += QChar(static_cast<char16_t>(Cp1251ToUnicode(static_cast<std::uint8_t>(ch))));
  return out;
}

std::string ToAnsi(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (char32_t code : text.toUcs4()) {
    std::uint8_t byte = '?';
    if (!UnicodeToCp1251(code, byte)) byte = '?';
    out += static_cast<char>(byte);
  }
  return out;
}
