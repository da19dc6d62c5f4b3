#pragma once
// One queued message to the PDUs of one SMS or of a concatenated series.
#include <functional>
#include <string>

class packet;

// Gives one built PDU to the modem; true when the modem accepted it.
using SendPduFn = std::function<bool(const std::string& pdu)>;
// The reference of the next concatenated message, two hex digits (NextMessageRef).
using NextRefFn = std::function<std::string()>;

// Chooses 7-bit or UCS2, splits a long text into parts with a concatenation
// header and sends every part, whatever became of the earlier ones. The result is
// the last part's: the caller queues the whole text again when it is false.
bool SendMessageText(const packet& msg, const SendPduFn& sendPdu, const NextRefFn& nextRef);
