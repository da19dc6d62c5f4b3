#pragma once
// Wording of the code-table rows whose text is not fixed word for word:
// the words of the row's name, spaced and in sentence case, and the short
// labels of the dispatch-log subkinds.
#include <string>
#include <string_view>

// "_secModemNotStarted" gives "Modem not started"; acronyms keep their capitals.
std::string TextFromRowName(std::string_view name);

// The dispatch-log label of subkind `value` (0..256): the name without "dst",
// the fixed labels of the line and Telnet kinds, protocol states cut to 12 letters.
std::string DispatchSubTypeLabel(int value);

// Drops lower-case letters inside words, vowels first and from the end, until
// the text is at most `limit` characters ("tf1TSIResponse" gives "tf1TSIRespns").
std::string AbbreviateLabel(std::string_view text, std::size_t limit);
