#include "server/modem/message_ref.h"

#include <ctime>
#include <exception>
#include <random>

#include "platform/registry.h"
#include "sms/hex_text.h"

namespace {

constexpr int kLastRef = 255;

}  // namespace

std::string MessageRefCounter::NextMessageRef() {
  std::minstd_rand random(static_cast<std::minstd_rand::result_type>(std::time(nullptr)));
  int ref = static_cast<int>(random() % 252) + 1;
  TRegistry reg(registryFile_);
  try {
    if (reg.OpenKey("\\SOFTWARE\\Trelm\\SMSConfig", true)) {
      unreadable_.Clear();
      if (reg.ValueExists("MessageRef")) ref = reg.ReadInteger("MessageRef");
      if (ref < 0 || ref >= kLastRef) ref = 0;
      ++ref;
      reg.WriteInteger("MessageRef", ref);
      reg.CloseKey();
    } else if (!reg.FileRead().Usable()) {
      unreadable_.Say("trelmsrv: cannot read " + registryFile_ + ": " + ReadFailureReason(reg.FileRead()) +
                      "; message references are counted in memory until it can be read");
      if (last_) ref = *last_ >= kLastRef ? 1 : *last_ + 1;
    }
  } catch (const std::exception&) {
    // A value of another type or a file that cannot be written: the reference
    // keeps what it held; sending goes on.
  }
  last_ = ref;
  return ToHex(static_cast<unsigned>(ref), 2);
}
