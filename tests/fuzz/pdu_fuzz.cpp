// libFuzzer entry: any bytes as a PDU listed from the SIM, read the way the modem
// worker reads it. Nothing may read out of bounds, hang or crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sms/tsms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TSMS sms;
  sms.ParsePdu(std::string_view(reinterpret_cast<const char*>(data), size));
  (void)sms.GetNumber();
  try {
    (void)sms.GetTimestamp();
  } catch (const ESmsTimestampError&) {
    // A bad stamp is reported to the caller; that is the expected way out.
  }
  (void)sms.GetText();
  (void)sms.GetText();  // again, on the PDU with its header zeroed
  return 0;
}
