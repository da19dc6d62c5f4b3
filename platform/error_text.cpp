#include "platform/error_text.h"

#include <cstring>

#include "platform/codepage.h"

std::string SysErrorMessage(int error) {
  char buf[256] = {};
  // GNU strerror_r may return a static text instead of filling buf.
  const char* text = ::strerror_r(error, buf, sizeof buf);
  return Utf8ToAnsi(text ? text : "Unknown error");
}
