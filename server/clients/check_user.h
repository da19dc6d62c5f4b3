#pragma once
// The login check against the users list in the registry file.
#include <string>

#include "protocol/packet.h"

inline constexpr const char* kUsersKey = "\\SOFTWARE\\Trelm\\SMSConfig\\Server\\Users";

// True when the login answer's `number` names a user of the list and its `text` is
// that user's password, byte for byte. Each user is a binary value named by the
// user; its data is the password enciphered with EncodeBuffer, at most 25 bytes.
// The value is deciphered whole and the password ends at its first zero byte. A
// value of another type or longer than 25 bytes refuses the login. An unknown name
// and a wrong password are refused alike, in the same time; the file is read once.
// A registry file that cannot be read, or is no regular file, refuses every login
// and is left as it is (said once on standard error while it lasts); the users key
// is made only in a file that was read and lacks it.
bool CheckUser(const packet& answer, const std::string& registryPath);
