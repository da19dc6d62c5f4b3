#pragma once
// The SIM's message store: numbered slots from 1, each holding one PDU with its
// status as AT+CMGL reports it.
#include <map>
#include <string>
#include <vector>

struct StoredSms {
  int index = 0;
  int stat = 0;     // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
  std::string pdu;  // hexadecimal, service-centre part first, as listed
};

class SimCard {
 public:
  static constexpr int kCapacity = 30;

  // Takes the lowest free slot; 0 when the SIM is full.
  int Store(std::string pdu, int stat = 0);
  // Empties a slot; on a renumbering SIM the messages above it move down one.
  void Delete(int index);
  void SetRenumbering(bool on) { renumbering_ = on; }
  static bool ValidIndex(int index) { return index >= 1 && index <= kCapacity; }

  // The messages of one status (4: all) in slot order. Listing marks the unread
  // ones read, as a handset's memory does.
  std::vector<StoredSms> List(int stat);
  std::vector<StoredSms> Messages() const;
  int Used() const { return static_cast<int>(slots_.size()); }
  // The slot taken last (1 before any).
  int LastStored() const { return lastStored_; }

 private:
  std::map<int, StoredSms> slots_;
  int lastStored_ = 1;
  bool renumbering_ = false;
};

// The octets after the service-centre part, as a listing gives a PDU's length
// (0 for a PDU too short to have any).
int TpduLength(const std::string& pdu);
