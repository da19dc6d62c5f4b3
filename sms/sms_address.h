#pragma once
// Phone numbers to and from the address field of a PDU, as hex text.
#include <string>
#include <string_view>

// Length in digits, type (91 international when the number starts with "+",
// else 81), then the digits as swapped semi-octets padded with "F".
// Nothing is validated: +123 gives 039121F3, "" gives 0081.
std::string EncodeAddress(std::string_view number);

// From the type octet and the semi-octets that follow it: the number ("+" in front
// for an international one), or the sender's name for an alphanumeric address.
// "" when the type is not hex.
std::string DecodeAddress(std::string_view field);
