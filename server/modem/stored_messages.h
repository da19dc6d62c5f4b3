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
  std::string shownIndex;            // as the header line gives it, for what is said of the message
  std::optional<std::size_t> index;  // for AT+CMGD; none when the header gives no number
  std::optional<std::string> pdu;    // the PDU line, when it is a received message's and came whole
  std::string problem;               // why not: what to say about the message left on the SIM
};

// The messages of a listing's answer lines (its header lines, PDU lines and the
// notices that came among them), in order: each line that begins with "+CMGL: "
// (in either case) names one by the number up to its first comma, gives its
// status as the second field and the PDU's length in octets after the
// service-centre part as its last. The line right after it is the PDU when it
// came whole: hexadecimal digits only (either case), exactly that length plus
// the service-centre part its first octet gives; a notice between the two
// leaves the message unread. Only a received message (status 0 or 1, an
// SMS-DELIVER) with a numbered header is taken; messages stored to be sent and
// status reports are not. Lines before the first header are not looked at.
std::vector<ListedMessage> ParseMessageListing(const std::vector<std::string>& lines);

// A type-1 packet: number = sender, date = the service centre's time stamp, text =
// the message. A time stamp that is not a real date leaves the date empty: the
// message itself is still worth delivering.
PacketPtr ReceivedPacket(std::string_view pdu);
