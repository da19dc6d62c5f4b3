#pragma once
// One queued message to the PDUs of one SMS or of a concatenated series.
#include <functional>
#include <string>

class packet;

// Gives one built PDU to the modem; true when the modem accepted it.
using SendPduFn = std::function<bool(const std::string& pdu)>;
// The reference of the next concatenated message, two hex digits (MessageRefCounter::NextMessageRef).
using NextRefFn = std::function<std::string()>;

// Chooses 7-bit or UCS2, splits a long text into parts with a concatenation
// header and sends the parts in order. True only when the modem accepted every
// part; the first part it does not accept ends the attempt, and the caller queues
// the whole text again.
bool SendMessageText(const packet& msg, const SendPduFn& sendPdu, const NextRefFn& nextRef);
