#include "server/stored_messages.h"

#include <algorithm>

#include "sms/hex_text.h"
#include "sms/tsms.h"

namespace {

// The header's last field; none when it is no number.
std::optional<std::size_t> AnnouncedLength(std::string_view header) {
  const std::string_view field = header.substr(header.rfind(',') + 1);
  if (field.empty() || field.size() > 3) return std::nullopt;
  std::size_t n = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  return n;
}

// Empty when `line` is the whole PDU the header announces; else what is wrong.
std::string PduProblem(std::string_view header, const std::string* line) {
  if (line == nullptr || line->empty() || line->starts_with(kListingHeader)) return "its PDU line is missing";
  if (!std::all_of(line->begin(), line->end(), [](char c) { return ParseHex(std::string_view(&c, 1)).has_value(); }))
    return "its PDU line is not hexadecimal";
  const std::optional<std::size_t> tpdu = AnnouncedLength(header);
  if (!tpdu) return "its header gives no length";
  const std::size_t sc = line->size() >= 2 ? HexOctetAt(*line, 1).value_or(0) : 0;
  if (line->size() != 2 * (1 + sc + *tpdu)) return "its PDU line is not as long as its header says (cut)";
  return "";
}

}  // namespace

std::vector<ListedMessage> ParseMessageListing(const std::vector<std::string>& lines) {
  std::vector<ListedMessage> messages;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].starts_with(kListingHeader)) continue;
    const std::string_view header = std::string_view(lines[i]).substr(kListingHeader.size());
    const std::string* next = i + 1 < lines.size() ? &lines[i + 1] : nullptr;
    ListedMessage m{std::string(header.substr(0, header.find(','))), std::nullopt, PduProblem(header, next)};
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
