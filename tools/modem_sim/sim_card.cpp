#include "tools/modem_sim/sim_card.h"

#include "sms/hex_text.h"

int SimCard::Store(std::string pdu, int stat) {
  for (int index = 1; index <= kCapacity; ++index) {
    if (slots_.count(index) != 0) continue;
    slots_[index] = StoredSms{index, stat, std::move(pdu)};
    lastStored_ = index;
    return index;
  }
  return 0;
}

void SimCard::Delete(int index) {
  if (slots_.erase(index) == 0 || !renumbering_) return;
  std::map<int, StoredSms> moved;
  for (auto& [at, sms] : slots_) {
    sms.index = at > index ? at - 1 : at;
    moved.emplace(sms.index, std::move(sms));
  }
  slots_ = std::move(moved);
}

std::vector<StoredSms> SimCard::List(int stat) {
  std::vector<StoredSms> out;
  for (auto& [index, sms] : slots_) {
    if (stat != 4 && sms.stat != stat) continue;
    out.push_back(sms);
    if (sms.stat == 0) sms.stat = 1;
  }
  return out;
}

std::vector<StoredSms> SimCard::Messages() const {
  std::vector<StoredSms> out;
  for (const auto& entry : slots_) out.push_back(entry.second);
  return out;
}

int TpduLength(const std::string& pdu) {
  const long serviceCentre = static_cast<long>(HexOctetAt(pdu, 1).value_or(0));
  const long octets = static_cast<long>(pdu.size() / 2) - 1 - serviceCentre;
  return octets > 0 ? static_cast<int>(octets) : 0;
}
