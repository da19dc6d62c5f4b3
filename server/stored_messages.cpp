#include "server/stored_messages.h"

#include <algorithm>

#include "sms/tsms.h"

namespace {

// CR LF is one line break, and so is a lone CR or LF.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool IsPdu(std::string_view line) {
  return !line.empty() && std::all_of(line.begin(), line.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  });
}

}  // namespace

std::vector<ListedMessage> ParseMessageListing(std::string_view listing) {
  const std::size_t first = listing.find(kListingHeader);
  if (first != std::string_view::npos) listing.remove_prefix(first);
  const std::vector<std::string_view> lines = Lines(listing);
  std::vector<ListedMessage> messages;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].starts_with(kListingHeader)) continue;
    const std::string_view rest = lines[i].substr(kListingHeader.size());
    ListedMessage m{std::string(rest.substr(0, rest.find(','))), std::nullopt};
    if (i + 1 < lines.size() && IsPdu(lines[i + 1])) m.pdu = std::string(lines[i + 1]);
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
