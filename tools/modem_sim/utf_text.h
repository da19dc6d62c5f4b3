#pragma once
// UTF-8 (the simulator's command line, files and log) to and from UTF-16 (what
// UCS2 user data carries), over the platform's UTF-8 codec. Malformed input
// becomes U+FFFD.
#include <string>
#include <string_view>

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
