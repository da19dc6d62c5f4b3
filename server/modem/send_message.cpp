#include "server/modem/send_message.h"

#include <vector>

#include "protocol/packet.h"
#include "sms/hex_text.h"
#include "sms/sms_coding.h"
#include "sms/tsms.h"

namespace {

bool BuildAndSend(std::string_view text, std::string_view number, std::string udh, int coding,
                  const SendPduFn& sendPdu) {
  TSMS sms;
  sms.text = std::string(text);
  sms.number = std::string(number);
  sms.udh = std::move(udh);
  sms.codingReq = coding;
  return sendPdu(sms.BuildSubmitPdu());
}

}  // namespace

bool SendMessageText(const packet& msg, const SendPduFn& sendPdu, const NextRefFn& nextRef) {
  const std::string_view text = msg.text();
  const SmsCoding rule = ChooseSmsCoding(text);
  const int coding = rule.ucs2 ? 2 : 0;
  const std::vector<std::string_view> parts = SmsParts(text, rule);
  if (parts.size() == 1) return BuildAndSend(text, msg.number(), "", coding, sendPdu);

  const std::string header = "050003" + nextRef() + ToHex(static_cast<unsigned>(parts.size()), 2);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    // A part the modem did not confirm fails the whole message, which is sent
    // again from its first part: the parts after it would only go twice.
    if (!BuildAndSend(parts[i], msg.number(), header + ToHex(static_cast<unsigned>(i + 1), 2), coding, sendPdu))
      return false;
  }
  return true;
}
