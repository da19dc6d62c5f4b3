#include "tools/modem_sim/poll_log_filter.h"

#include <algorithm>
#include <array>

namespace {

// What the server's modem check and its look at the SIM say, in the log's words.
constexpr std::array<std::string_view, 6> kPollCommands = {"AT",        "ATE0",          "AT+CMEE=1",
                                                           "AT+CMGF=0", "AT+CPMS=\"SM\"", "AT+CMGL=4"};
constexpr std::string_view kListing = "AT+CMGL=4";

// An entry an idle poll is made of: one of its commands, OK, or the storage's counts.
bool PollEntry(std::string_view entry) {
  if (entry.starts_with("< "))
    return std::find(kPollCommands.begin(), kPollCommands.end(), entry.substr(2)) != kPollCommands.end();
  return entry == "> OK" || entry.starts_with("> +CPMS: ");
}

}  // namespace

std::vector<std::string> PollLogFilter::Take(const std::string& stamp, std::string_view entry) {
  std::vector<std::string> out;
  std::string line = stamp + " " + std::string(entry);
  if (entry.starts_with("< ")) {
    command_ = entry.substr(2);
    inFull_ = false;
  }
  if (inFull_ || !PollEntry(entry)) {
    inFull_ = true;
    Release(out);
    out.push_back(std::move(line));
    return out;
  }
  held_.push_back(std::move(line));
  if (entry != "> OK" || command_ != kListing) return out;
  // The listing ended with nothing in it: an idle poll.
  if (!idleShown_) {
    idleShown_ = true;
    out = std::move(held_);
    out.push_back(stamp + "   (an idle poll: nothing on the SIM; later ones are counted, not shown)");
  } else {
    ++idleNotShown_;
    lastIdleEnd_ = stamp;
  }
  held_.clear();
  return out;
}

std::vector<std::string> PollLogFilter::Finish() {
  std::vector<std::string> out;
  Release(out);
  return out;
}

void PollLogFilter::Release(std::vector<std::string>& out) {
  if (idleNotShown_ > 0) {
    out.push_back(lastIdleEnd_ + "   (" + std::to_string(idleNotShown_) +
                  (idleNotShown_ == 1 ? " more idle poll" : " more idle polls") + " not shown, the last ending here)");
    idleNotShown_ = 0;
  }
  for (std::string& line : held_) out.push_back(std::move(line));
  held_.clear();
}
