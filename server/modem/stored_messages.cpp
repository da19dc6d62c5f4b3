#include "server/modem/stored_messages.h"

#include <algorithm>

#include "server/modem/modem_lines.h"
#include "sms/hex_text.h"
#include "sms/tsms.h"

namespace {

// A header field as a number; none when it is no number.
std::optional<std::size_t> Number(std::string_view field) {
  if (field.empty() || field.size() > 3) return std::nullopt;
  std::size_t n = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  return n;
}

// The header's second field, its status; none when it is no number.
std::optional<std::size_t> Status(std::string_view header) {
  const std::size_t first = header.find(',');
  if (first == std::string_view::npos) return std::nullopt;
  const std::string_view rest = header.substr(first + 1);
  return Number(rest.substr(0, rest.find(',')));
}

// Empty when `line` is the whole PDU the header announces; else what is wrong.
std::string PduProblem(std::string_view header, const std::string* line) {
  constexpr const char* kLater = "; it is read again later";
  if (line != nullptr && PduNotice(*line))
    return std::string("a notice came between its header and its PDU line") + kLater;
  if (line == nullptr || line->empty() || StartsWithNoCase(*line, kListingHeader))
    return std::string("its PDU line is missing") + kLater;
  if (!std::all_of(line->begin(), line->end(), [](char c) { return ParseHex(std::string_view(&c, 1)).has_value(); }))
    return std::string("its PDU line is not hexadecimal") + kLater;
  const std::optional<std::size_t> tpdu = Number(header.substr(header.rfind(',') + 1));
  if (!tpdu) return std::string("its header gives no length") + kLater;
  const std::size_t sc = line->size() >= 2 ? HexOctetAt(*line, 1).value_or(0) : 0;
  if (line->size() != 2 * (1 + sc + *tpdu)) return std::string("its PDU line is not as long as its header says (cut)") + kLater;
  return "";
}

// Empty for a received message; else what it is.
std::string NotReceived(std::string_view header, const std::string& line) {
  const std::optional<std::size_t> status = Status(header);
  if (!status) return "its header gives no status";
  if (*status > 1) return "it is no received message (status " + std::to_string(*status) + ")";
  const std::size_t sc = HexOctetAt(line, 1).value_or(0);
  const unsigned type = HexOctetAt(line, static_cast<long>(3 + 2 * sc)).value_or(0) & 0x03;
  if (type == 0x02) return "it is a status report, no received message";
  if (type != 0x00) return "it is no received message (not an SMS-DELIVER)";
  return "";
}

}  // namespace

std::vector<ListedMessage> ParseMessageListing(const std::vector<std::string>& lines) {
  std::vector<ListedMessage> messages;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!StartsWithNoCase(lines[i], kListingHeader)) continue;
    const std::string_view header = std::string_view(lines[i]).substr(kListingHeader.size());
    const std::string* next = i + 1 < lines.size() ? &lines[i + 1] : nullptr;
    const std::string_view index = header.substr(0, header.find(','));
    ListedMessage m{std::string(index), Number(index), std::nullopt, ""};
    // A delete by an index that is no number could name any message.
    if (!m.index) m.problem = "its header gives no index";
    if (m.problem.empty()) m.problem = PduProblem(header, next);
    if (m.problem.empty()) m.problem = NotReceived(header, *next);
    if (m.problem.empty()) m.pdu = *next;
    messages.push_back(std::move(m));
  }
  return messages;
}

PacketPtr ReceivedPacket(std::string_view pdu) {
  TSMS sms;
  sms.ParsePdu(pdu);
  PacketPtr p = PacketNew();
  p->set_type(kPacketMessage);
  PacketSetNumber(*p, sms.GetNumber());
  try {
    PacketSetDate(*p, sms.GetTimestamp());
  } catch (const ESmsTimestampError&) {
    // The date stays empty; the message goes to the clients all the same.
  }
  PacketSetText(*p, sms.GetText());
  return p;
}
