#include "server/modem/message_ref.h"

#include <ctime>
#include <exception>
#include <random>

#include "platform/registry.h"
#include "sms/hex_text.h"

std::string NextMessageRef(const std::string& registryFile) {
  std::minstd_rand random(static_cast<std::minstd_rand::result_type>(std::time(nullptr)));
  int ref = static_cast<int>(random() % 252) + 1;
  try {
    TRegistry reg(registryFile);
    if (reg.OpenKey("\\SOFTWARE\\Trelm\\SMSConfig", true)) {
      if (reg.ValueExists("MessageRef")) ref = reg.ReadInteger("MessageRef");
      if (ref < 0 || ref > 254) ref = 0;
      ++ref;
      reg.WriteInteger("MessageRef", ref);
      reg.CloseKey();
    }
  } catch (const std::exception&) {
    // A value of another type or a file that cannot be written: the reference
    // keeps what it held; sending goes on.
  }
  return ToHex(static_cast<unsigned>(ref), 2);
}
