#pragma once
// A sysfs-like tree of serial devices in a temporary folder, which the registry
// reads in place of the machine's own while the object lives.
#include <string>
#include <string_view>

#include "tests/support/temp_dir.h"

class FakeDeviceTree {
 public:
  FakeDeviceTree();   // no devices yet
  ~FakeDeviceTree();  // the registry reads the tree it read before
  FakeDeviceTree(const FakeDeviceTree&) = delete;
  FakeDeviceTree& operator=(const FakeDeviceTree&) = delete;

  // A tty (ttyACM0, ttyUSB3) of a USB device with these ids, as sysfs writes them.
  void AddUsbTty(std::string_view tty, std::string_view vendorId, std::string_view productId);
  // A tty whose device is not on USB.
  void AddOtherTty(std::string_view tty);
  void Remove(std::string_view tty);

 private:
  TempDir dir_;
  std::string previous_;
  int devices_ = 0;
};
