#include "tests/support/fake_device_tree.h"

#include <filesystem>
#include <fstream>

#include "platform/registry_devices.h"

namespace fs = std::filesystem;

FakeDeviceTree::FakeDeviceTree() : previous_(DeviceTreeRoot()) {
  fs::create_directories(fs::path(dir_.path()) / "class" / "tty");
  SetDeviceTreeRoot(dir_.path());
}

FakeDeviceTree::~FakeDeviceTree() { SetDeviceTreeRoot(previous_); }

void FakeDeviceTree::AddUsbTty(std::string_view tty, std::string_view vendorId, std::string_view productId) {
  // The USB device holds the ids; its interface holds the tty, as with cdc-acm.
  const std::string port = "1-" + std::to_string(++devices_);
  const fs::path device = fs::path(dir_.path()) / "devices" / "pci0000:00" / "usb1" / port;
  const fs::path interface = device / (port + ":1.0");
  fs::create_directories(interface / "tty" / tty);
  std::ofstream(device / "idVendor") << vendorId << "\n";
  std::ofstream(device / "idProduct") << productId << "\n";
  const fs::path entry = fs::path(dir_.path()) / "class" / "tty" / tty;
  fs::create_directories(entry);
  fs::create_symlink(interface, entry / "device");
}

void FakeDeviceTree::AddOtherTty(std::string_view tty) {
  const fs::path device = fs::path(dir_.path()) / "devices" / "platform" / ("serial" + std::to_string(++devices_));
  fs::create_directories(device);
  const fs::path entry = fs::path(dir_.path()) / "class" / "tty" / tty;
  fs::create_directories(entry);
  fs::create_symlink(device, entry / "device");
}

void FakeDeviceTree::Remove(std::string_view tty) { fs::remove_all(fs::path(dir_.path()) / "class" / "tty" / tty); }
