#include "serial/base/row_text.h"

#include <array>
#include <cctype>
#include <utility>
#include <vector>

#include "serial/base/dispatch_types.h"

namespace {

// Feature prefixes of the row names, longest first where one begins another.
constexpr std::array<std::string_view, 15> kPrefixes = {
    "_sPDS_", "_sPDE_", "_sTAPS_", "_stcs_", "_stds_", "_sTAPI", "_spbe", "_sdsm",
    "_sddd",  "_sdpe",  "_swsa",   "_sec",   "_scs",   "_sps",   "_sfp"};

bool IsUpper(char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; }
bool IsLower(char c) { return std::islower(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::string_view StripPrefix(std::string_view name) {
  for (std::string_view p : kPrefixes)
    if (name.substr(0, p.size()) == p) return name.substr(p.size());
  return name;
}

// Splits "TSIResponse_x2" into TSI, Response, x2: at underscores, before an
// upper-case letter that follows a lower-case one, and before the last capital
// of an acronym that a lower-case word follows.
std::vector<std::string> SplitWords(std::string_view s) {
  std::vector<std::string> words;
  std::string cur;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s.substr(i, 4) == "VoIP") {  // one word, though its capitals say two
      if (!cur.empty()) words.push_back(std::move(cur));
      words.emplace_back("VoIP");
      cur.clear();
      i += 3;
      continue;
    }
    const char c = s[i];
    if (c == '_') {
      if (!cur.empty()) words.push_back(std::move(cur));
      cur.clear();
      continue;
    }
    if (!cur.empty() && IsUpper(c)) {
      const char prev = cur.back();
      const bool next_lower = i + 1 < s.size() && IsLower(s[i + 1]);
      if (IsLower(prev) || IsDigit(prev) || (IsUpper(prev) && next_lower)) {
        words.push_back(std::move(cur));
        cur.clear();
      }
    }
    cur += c;
  }
  if (!cur.empty()) words.push_back(std::move(cur));
  return words;
}

// Words written in capitals, and a single capital letter (the "E" of "Got crc E").
bool IsAcronym(const std::string& w) {
  if (w == "VoIP") return true;
  bool upper = false;
  for (char c : w) {
    if (IsLower(c)) return false;
    upper = upper || IsUpper(c);
  }
  return upper;
}

// Abbreviations that the names spell in mixed case.
std::string_view KnownAcronym(const std::string& lower) {
  constexpr std::pair<std::string_view, std::string_view> kKnown[] = {
      {"tapi", "TAPI"}, {"tapi3", "TAPI3"}, {"ras", "RAS"}, {"crc", "CRC"},
      {"ini", "INI"},   {"sapi", "SAPI"},   {"pin", "PIN"}, {"gdi", "GDI"}};
  for (const auto& [word, acronym] : kKnown)
    if (lower == word) return acronym;
  return {};
}

// Subkinds whose label is not their name.
constexpr std::pair<int, std::string_view> kFixedSubTypeLabels[] = {
    {0, ""},           {3, "Line status"},    {4, "Modem status"}, {9, "Start"},
    {10, "Exit"},      {11, "Sleep"},         {12, "Wake"},        {13, "Data"},
    {14, "Timer"},     {15, "Status"},        {16, "Avail"},       {17, "Window"},
    {18, "Procedure"}, {19, "Method"},        {20, "Sent WILL"},   {21, "Sent WON'T"},
    {22, "Sent DO"},   {23, "Sent DON'T"},    {24, "Recv WILL"},   {25, "Recv WON'T"},
    {26, "Recv DO"},   {27, "Recv DON'T"},    {29, "Sent Term"},   {246, "PcktTimeout"},
    {252, "Status Queued"}, {253, "Data Queued"}, {254, "Data Written"},
    {255, "ZSInit"},   {256, "CheckSInit"},
    // Protocol states whose short form is not the mechanical one.
    {dsttxFirstEndOfTransmit, "txFirstEOT"}, {dstrzCollectFinish, "rzCollFin"},
    {dsttyPrepXmodem, "tyPrpXmdm"},          {dsttySendXmodem, "tySndXmdm"},
    {dsttyFinished, "tyFinishd"},            {dstryPrepXmodem, "ryPrepXmdm"},
};

constexpr int kFirstProtocolState = 30;
constexpr int kLastProtocolState = 245;
constexpr std::size_t kLabelWidth = 12;

bool IsVowel(char c) {
  return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u';
}

}  // namespace

std::string TextFromRowName(std::string_view name) {
  std::string text;
  for (const std::string& word : SplitWords(StripPrefix(name))) {
    std::string w = word;
    if (!IsAcronym(w)) {
      for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (const std::string_view a = KnownAcronym(w); !a.empty()) w = a;
    }
    if (!text.empty()) text += ' ';
    text += w;
  }
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

std::string AbbreviateLabel(std::string_view text, std::size_t limit) {
  std::string s(text);
  // A letter may go when it is lower case and not the first letter of a word
  // (nor of the two-letter protocol prefix).
  auto droppable = [&s](std::size_t i, bool vowels) {
    return i >= 2 && IsLower(s[i]) && (IsLower(s[i - 1]) || IsUpper(s[i - 1])) &&
           IsVowel(s[i]) == vowels;
  };
  for (bool vowels : {true, false}) {
    for (std::size_t i = s.size(); i-- > 0 && s.size() > limit;)
      if (droppable(i, vowels)) s.erase(i, 1);
  }
  if (s.size() > limit) s.resize(limit);
  return s;
}

std::string DispatchSubTypeLabel(int value) {
  if (value < 0 || value >= kDispatchSubTypeCount) return {};
  for (const auto& [v, label] : kFixedSubTypeLabels)
    if (v == value) return std::string(label);
  std::string_view label = kDispatchSubTypeNames[value];
  label.remove_prefix(3);  // "dst"
  if (value >= kFirstProtocolState && value <= kLastProtocolState)
    return AbbreviateLabel(label, kLabelWidth);
  return std::string(label);
}
