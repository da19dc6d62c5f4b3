#pragma once
// The modem's listing of its stored messages (AT+CMGL in PDU mode) and the packet
// a received PDU becomes.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/packet.h"

// What begins the header line of each message in a listing.
inline constexpr std::string_view kListingHeader = "+CMGL: ";

struct ListedMessage {
  std::string index;               // as the header line gives it, for AT+CMGD
  std::optional<std::string> pdu;  // none when no PDU line follows the header
};

// The messages of a listing, in its order: each line that begins with "+CMGL: "
// names one by the text up to its first comma, and the line after it is its PDU
// when that is one (hexadecimal digits; not empty, not the next header, not the
// final result). Anything before the first header is not looked at.
std::vector<ListedMessage> ParseMessageListing(std::string_view listing);

// A type-1 packet: number = sender, date = the service centre's time stamp, text =
// the message. A time stamp that is not a real date leaves the date empty: the
// message itself is still worth delivering.
PacketPtr ReceivedPacket(std::string_view pdu);
