#include "tools/modem_sim/at_modem.h"

#include <cctype>
#include <cstdio>
#include <optional>
#include <utility>

#include "tools/modem_sim/deliver_pdu.h"

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;
constexpr char kBackspace = 0x08;
constexpr std::size_t kMaxLine = 512;
// A service-centre address and the longest SMS-SUBMIT, in hexadecimal digits.
constexpr std::size_t kMaxPduDigits = 2 * (12 + 164);
constexpr int kMaxTpdu = 164;

}  // namespace

std::string VisibleText(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(c));
      out += buf;
    } else out += c;
  }
  return out;
}

namespace {

// Blanks outside quotes dropped and letters outside quotes upper-cased, as a
// command line is read.
std::string Normalise(std::string_view line) {
  std::string out;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == ' ') continue;
    out += quoted ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

std::optional<int> Decimal(std::string_view s) {
  if (s.empty() || s.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::vector<std::string_view> SplitParameters(std::string_view s) {
  std::vector<std::string_view> out;
  for (std::size_t comma; (comma = s.find(',')) != std::string_view::npos; s.remove_prefix(comma + 1))
    out.push_back(s.substr(0, comma));
  out.push_back(s);
  return out;
}

// One count of SimFaults: true when this send is affected.
bool Take(int& count) {
  if (count == 0) return false;
  if (count > 0) --count;
  return true;
}

std::string Describe(const DecodedSubmit& d) {
  std::string out = "to " + d.number + ", " + d.coding;
  if (d.concatenation)
    out += ", part " + std::to_string(d.concatenation->part) + " of " + std::to_string(d.concatenation->count) +
           ", reference " + std::to_string(d.concatenation->reference);
  return out + ": \"" + VisibleText(d.text) + "\"";
}

std::string CmsError(int code) { return "+CMS ERROR: " + std::to_string(code); }

// +CMS ERROR codes of the message service.
constexpr int kNotSupported = 303;
constexpr int kInvalidPdu = 304;
constexpr int kInvalidIndex = 321;

}  // namespace

std::vector<SimOutput> AtModem::Receive(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    if (inPdu_) PduByte(c, out);
    else CommandByte(c, out);
  }
  std::vector<SimOutput> output = std::move(held_);
  held_.clear();
  if (!out.empty()) output.push_back({std::chrono::milliseconds(0), std::move(out)});
  return output;
}

void AtModem::CommandByte(char c, std::string& out) {
  // Control characters out of PDU input (an ESC, line noise) are no part of a command.
  if (static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n' && c != kBackspace) return;
  if (dozing_) {
    line_ += c;
    if (c != '\r') return;
    log_("< " + VisibleText(line_.substr(0, line_.size() - 1)) + "   (asleep: not heard)");
    line_.clear();
    dozing_ = false;
    return;
  }
  if (echo_ && !faults_.silent) out += c;
  if (c == '\n') return;
  if (c == kBackspace) {
    if (!line_.empty()) line_.pop_back();
    return;
  }
  if (c != '\r') {
    if (line_.size() < kMaxLine) line_ += c;
    else lineTooLong_ = true;
    return;
  }
  const std::string line = std::move(line_);
  const bool tooLong = lineTooLong_;
  line_.clear();
  lineTooLong_ = false;
  if (faults_.silent) {
    log_("< " + VisibleText(line) + "   (silent: no answer)");
    return;
  }
  if (!StartsWith(Normalise(line), "AT")) {
    // Anything before a command prefix is noise on the line, as on any modem.
    if (!line.empty()) log_("< " + VisibleText(line) + "   (no AT prefix: ignored)");
    return;
  }
  log_("< " + VisibleText(line));
  std::string answer;
  if (tooLong) Answer(answer, {}, "ERROR");
  else Execute(line, answer);
  Respond(out, std::move(answer));
}

void AtModem::Respond(std::string& out, std::string answer) {
  std::chrono::milliseconds late = std::exchange(late_, std::chrono::milliseconds(0));
  if (answer.empty()) return;
  if (late.count() == 0 && faults_.answerDelay.count() != 0) {
    late = faults_.answerDelay;
    log_("  (its answer comes " + std::to_string(late.count()) + " ms after the one before)");
  }
  if (late.count() == 0) {
    out += answer;
    return;
  }
  // What came before it goes now; what follows it goes after it.
  if (!out.empty()) held_.push_back({std::chrono::milliseconds(0), std::move(out)});
  out.clear();
  held_.push_back({late, std::move(answer)});
}

void AtModem::Execute(const std::string& rawLine, std::string& out) {
  const std::string line = Normalise(rawLine);
  const std::string_view body = std::string_view(line).substr(2);
  if (body.empty()) return Answer(out, {}, "OK");
  if (body == "E" || body == "E0" || body == "E1") {
    echo_ = body == "E1";
    return Answer(out, {}, "OK");
  }
  if (StartsWith(body, "+CMEE=")) {
    if (faults_.notSupportWord) return Answer(out, {}, "ERROR");
    const auto mode = Decimal(body.substr(6));
    return Answer(out, {}, mode && *mode <= 2 ? "OK" : "ERROR");
  }
  if (StartsWith(body, "+CMGF=")) {
    // PDU mode only: text mode is a mode this modem does not have.
    const std::string_view mode = body.substr(6);
    if (mode == "0" && faults_.refusePduMode) return Answer(out, {}, "ERROR");
    return Answer(out, {}, mode == "0" ? "OK" : (mode == "1" ? CmsError(kNotSupported) : "ERROR"));
  }
  if (StartsWith(body, "+CPMS=")) {
    const auto storages = SplitParameters(body.substr(6));
    if (storages.size() > 3) return Answer(out, {}, "ERROR");
    for (std::string_view s : storages)
      if (s != "\"SM\"") return Answer(out, {}, CmsError(kNotSupported));
    const std::string used = std::to_string(sim_.Used()) + "," + std::to_string(SimCard::kCapacity);
    return Answer(out, {"+CPMS: " + used + "," + used + "," + used}, "OK");
  }
  if (StartsWith(body, "+CMGS=")) {
    const auto length = Decimal(body.substr(6));
    if (!length || *length < 1 || *length > kMaxTpdu) return Answer(out, {}, "ERROR");
    inPdu_ = true;
    pduLength_ = *length;
    pdu_.clear();
    pduTooLong_ = false;
    out += faults_.noiseBytes ? std::string("\r\n\0> ", 5) : std::string("\r\n> ");
    log_("> (prompt for the PDU)");
    VendorLine(out);
    return;
  }
  if (body == "+CMGL" || StartsWith(body, "+CMGL=")) {
    // Without a status a listing in PDU mode is of the unread messages.
    const auto stat = body == "+CMGL" ? std::optional<int>(0) : Decimal(body.substr(6));
    if (!stat || *stat > 4) return Answer(out, {}, "ERROR");
    return List(*stat, out);
  }
  if (StartsWith(body, "+CMGD=")) {
    const auto index = Decimal(body.substr(6));
    if (!index) return Answer(out, {}, "ERROR");
    if (!SimCard::ValidIndex(*index)) return Answer(out, {}, CmsError(kInvalidIndex));
    sim_.Delete(*index);
    if (faults_.lateDeletes.count() != 0) {
      log_("  (its answer comes " + std::to_string(faults_.lateDeletes.count()) + " ms late)");
      late_ = faults_.lateDeletes;
    }
    return Answer(out, {}, "OK");
  }
  Answer(out, {}, "ERROR");
}

void AtModem::List(int stat, std::string& out) {
  std::vector<std::string> lines;
  const auto notice = [&] {
    auto [line, pdu] = NextPduNotice();
    lines.push_back(std::move(line));
    lines.push_back(std::move(pdu));
  };
  for (const StoredSms& sms : sim_.List(stat)) {
    lines.push_back("+CMGL: " + std::to_string(sms.index) + "," + std::to_string(sms.stat) + ",," +
                    std::to_string(TpduLength(sms.pdu)));
    if (faults_.unsolicited) lines.push_back("+CMTI: \"SM\"," + std::to_string(sim_.LastStored()));
    if (faults_.directDelivery && !listedWithNotice_) {
      // A message as long as the listed one: taken for it, it would pass for whole.
      auto [line, pdu] = DirectMessage(TpduLength(sms.pdu));
      lines.push_back(std::move(line));
      lines.push_back(std::move(pdu));
      listedWithNotice_ = true;
    }
    std::string pdu = sms.pdu;
    if (faults_.lowercaseListing)
      for (char& c : pdu) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lines.push_back(std::move(pdu));
    if (faults_.directDelivery) notice();
  }
  Answer(out, lines, "OK");
}

std::pair<std::string, std::string> AtModem::NextPduNotice() {
  if (std::exchange(cmtNext_, !cmtNext_)) return DirectMessage(0);
  std::string pdu(kSimStatusReport);
  return {"+CDS: " + std::to_string(TpduLength(pdu)), std::move(pdu)};
}

std::pair<std::string, std::string> AtModem::DirectMessage(int length) {
  const SmsTime time{2026, 3, 12, 9, 0, 0, 12};
  std::string pdu = BuildDeliverPdu({"+79167770000", "Delivered straight", time});
  // Every length a listed message has is that of some run of 7-bit letters.
  for (std::size_t n = 1; n <= 160 && length != 0 && TpduLength(pdu) != length; ++n)
    pdu = BuildDeliverPdu({"+79167770000", std::string(n, 'x'), time});
  return {"+CMT: ," + std::to_string(TpduLength(pdu)), std::move(pdu)};
}

void AtModem::PduByte(char c, std::string& out) {
  if (c != kCtrlZ && c != kEsc && echo_ && !faults_.silent) out += c;
  if (c == kCtrlZ || c == kEsc) {
    inPdu_ = false;
    std::string answer;
    if (c == kCtrlZ) {
      FinishPdu(answer);
    } else {
      log_("< " + VisibleText(pdu_) + "<ESC>   (cancelled)");
      if (!faults_.silent) Answer(answer, {}, "OK");
    }
    return Respond(out, std::move(answer));
  }
  if (c == '\r' || c == '\n') return;
  if (pdu_.size() < kMaxPduDigits) pdu_ += c;
  else pduTooLong_ = true;
}

void AtModem::FinishPdu(std::string& out) {
  if (faults_.silent) {
    log_("< " + VisibleText(pdu_) + "<Ctrl-Z>   (silent: no answer)");
    return;
  }
  log_("< " + VisibleText(pdu_) + "<Ctrl-Z>");
  SimSend send;
  send.pdu = pdu_;
  send.length = pduLength_;
  send.decoded = pduTooLong_ ? DecodedSubmit{"longer than any SMS-SUBMIT", "", "", "", std::nullopt}
                             : DecodeSubmitPdu(pdu_, pduLength_);
  if (!send.decoded.problem.empty()) {
    log_("  refused: " + send.decoded.problem);
    send.result = CmsError(kInvalidPdu);
  } else {
    log_("  " + Describe(send.decoded));
    if (faults_.directDelivery) {
      const auto [notice, pdu] = NextPduNotice();
      out += "\r\n" + notice + "\r\n" + pdu + "\r\n";
      log_("> " + notice);
      log_("> " + pdu);
    }
    if (Take(faults_.noticeSends)) {
      const std::string notice = "+CMTI: \"SM\"," + std::to_string(sim_.LastStored());
      out += "\r\n" + notice + "\r\n";
      log_("> " + notice);
    }
    if (Take(faults_.cmsErrorSends)) {
      send.result = CmsError(faults_.cmsError);
    } else {
      send.result = "+CMGS: " + std::to_string(nextReference_);
      nextReference_ = (nextReference_ + 1) % 256;
    }
  }
  const bool sent = StartsWith(send.result, "+CMGS:");
  sends_.push_back(send);
  if (sent) Answer(out, {send.result}, "OK");
  else Answer(out, {}, send.result);
}

void AtModem::Answer(std::string& out, const std::vector<std::string>& lines, const std::string& givenResult) {
  // A maker's word in place of ERROR, when the modem is given to it.
  const std::string result = givenResult == "ERROR" && faults_.notSupportWord ? "COMMAND NOT SUPPORT" : givenResult;
  if (!lines.empty()) {
    out += "\r\n";
    for (const auto& line : lines) {
      VendorLine(out);
      Line(out, line, false);
      log_("> " + line);
    }
  }
  if (result == "OK") NoticeBeforeOk(out);
  VendorLine(out);
  Line(out, result, true);
  log_("> " + result);
}

void AtModem::Line(std::string& out, const std::string& line, bool final) {
  const auto noise = [&] {
    if (!faults_.noiseBytes) return;
    out += noiseNul_ ? '\0' : '\xFF';
    noiseNul_ = !noiseNul_;
  };
  if (final) {
    noise();
    out += "\r\n";
  }
  noise();
  out += line + "\r\n";
}

void AtModem::VendorLine(std::string& out) {
  if (!faults_.vendorLines) return;
  static const char* const kLines[] = {"^RSSI:12", "^BOOT:20131123,0,0,0,6",
                                       "^DSFLOWRPT:00000A3B,00000000,00000000,00000000,00000000,00000000,00000000"};
  const char* line = kLines[vendorNext_];
  vendorNext_ = (vendorNext_ + 1) % 3;
  out += std::string("\r\n") + line + "\r\n";
  log_(std::string("> ") + line);
}

void AtModem::NoticeBeforeOk(std::string& out) {
  if (!faults_.unsolicited) return;
  const std::string notice = ringNext_ ? "RING" : "+CMTI: \"SM\"," + std::to_string(sim_.LastStored());
  ringNext_ = !ringNext_;
  out += "\r\n" + notice + "\r\n";
  log_("> " + notice);
}
