#pragma once
// The machine's USB serial devices as the registry stand-in presents them: each
// under \SYSTEM\CurrentControlSet\Enum\USB\Vid_xxxx&Pid_yyyy\<instance>\Device
// Parameters with its PortName, and in \HARDWARE\DEVICEMAP\SERIALCOMM as a value
// named by its device path holding that name. Read from sysfs each time a key
// there is opened; nothing of it is ever written to the registry file.
//
// COM names follow one fixed rule so that a user can name them in Config.ini:
// /dev/ttyACM<n> is COM<100+n>, /dev/ttyUSB<n> is COM<200+n> (n from 0 to 99).
// COM1 to COM99 stay free for devices declared by hand.
#include <string>
#include <vector>

struct UsbSerialDevice {
  std::string devicePath;  // "/dev/ttyACM0"
  std::string portName;    // "COM100"
  std::string vendorId;    // four hex digits as sysfs gives them, "c251"
  std::string productId;
  std::string instance;    // the tty's name, "ttyACM0"
};

// The USB serial devices under the current device tree, in port-name order.
// Devices whose USB ids cannot be read are left out.
std::vector<UsbSerialDevice> ListUsbSerialDevices();

// The sysfs root that ListUsbSerialDevices reads ("/sys" unless set); tests
// point it at a fake tree.
void SetDeviceTreeRoot(std::string root);
std::string DeviceTreeRoot();
