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

std::u32string CharactersOutsideAnsi(const QString& text) {
  std::u32string out;
  std::uint8_t byte = 0;
  for (char32_t code : text.toUcs4())
    if (!UnicodeToCp1251(code, byte) && out.find(code) == std::u32string::npos) out += code;
  return out;
}

qsizetype FirstOutsideAnsi(const QString& text) {
  std::uint8_t byte = 0;
  for (qsizetype i = 0; i < text.size();) {
    const char32_t code = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                              ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                              : text.at(i).unicode();
    if (!UnicodeToCp1251(code, byte)) return i;
    i += QChar::requiresSurrogates(code) ? 2 : 1;
  }
  return -1;
}
