// The search for the modem's port: which ports are handed to the opener, in
// which order, and what the one-modem limit leaves opened.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "server/find_modem_port.h"
#include "server/server_core.h"
#include "tests/support/fake_device_tree.h"
#include "tests/support/temp_dir.h"

namespace {

// One [key] of registry.reg with its string values.
std::string Key(const std::string& path, const std::vector<std::pair<std::string, std::string>>& values) {
  std::string out = "[HKEY_LOCAL_MACHINE\\" + path + "]\n";
  for (const auto& [name, data] : values) out += "\"" + name + "\"=\"" + data + "\"\n";
  return out;
}

std::string Modem(const std::string& ids, const std::string& instance, const std::string& port) {
  return Key("SYSTEM\\CurrentControlSet\\Enum\\USB\\" + ids + "\\" + instance + "\\Device Parameters",
             {{"PortName", port}});
}

std::string SerialPorts(const std::vector<std::pair<std::string, std::string>>& ports) {
  return Key("HARDWARE\\DEVICEMAP\\SERIALCOMM", ports);
}

const std::string kC251 = "Vid_c251&Pid_b6e4";
const std::string kFfff = "Vid_ffff&Pid_b6e4";

// An opener that keeps the server's limit: the first port opens, later ones are refused.
struct FakeOpener {
  std::vector<int> asked, opened;
  OpenModemPortFn Fn() {
    return [this](int port) {
      asked.push_back(port);
      if (!opened.empty()) return false;
      opened.push_back(port);
      return true;
    };
  }
};

class FindModemPortTest : public ::testing::Test {
 protected:
  void Write(const std::string& registry, const std::string& deviceMap) {
    ASSERT_TRUE(WriteFileAtomically(core.FilePath(kRegistryFile), registry));
    ASSERT_TRUE(WriteFileAtomically(core.FilePath(kConfigFile), "[CONNECTION]\nCheckMail=1\n[DEVICEMAP]\n" + deviceMap));
  }

  TempDir dir;
  FakeDeviceTree devices;  // the machine's own devices stay out of the search
  ServerCore core{dir.path()};
  FakeOpener opener;
};

TEST_F(FindModemPortTest, OpensOnlyAllowedModemPortsInSerialPortOrder) {
  struct Case {
    const char* name;
    std::string registry, deviceMap;
    std::vector<int> asked, opened;
  };
  const Case cases[] = {
      {"vendor ffff only", Modem(kFfff, "SIM0", "COM5") + SerialPorts({{"/dev/pts/7", "COM5"}}), "COM5=1\n", {5}, {5}},
      {"two modems: the first serial port listed wins",
       Modem(kC251, "A", "COM5") + Modem(kFfff, "B", "COM6") + SerialPorts({{"/dev/b", "COM6"}, {"/dev/a", "COM5"}}),
       "COM5=1\nCOM6=1\n", {6, 5}, {6}},
      {"a serial port of no modem",
       Modem("Vid_1234&Pid_b6e4", "X", "COM7") + SerialPorts({{"/dev/pts/7", "COM7"}}), "COM7=1\n", {}, {}},
      {"a modem with no serial port", Modem(kC251, "SIM0", "COM5") + SerialPorts({{"/dev/pts/7", "COM6"}}),
       "COM5=1\nCOM6=1\n", {}, {}},
      {"DEVICEMAP value 0 allows", Modem(kC251, "SIM0", "COM5") + SerialPorts({{"/dev/pts/7", "COM5"}}), "COM5=0\n",
       {5}, {5}},
      {"DEVICEMAP empty value forbids", Modem(kC251, "SIM0", "COM5") + SerialPorts({{"/dev/pts/7", "COM5"}}),
       "COM5=\n", {}, {}},
      {"DEVICEMAP without the port forbids", Modem(kC251, "SIM0", "COM5") + SerialPorts({{"/dev/pts/7", "COM5"}}),
       "COM6=1\n", {}, {}},
      {"COM12 is port 12", Modem(kC251, "SIM0", "COM12") + SerialPorts({{"/dev/pts/7", "COM12"}}), "COM12=yes\n",
       {12}, {12}},
      {"a port name is matched case and all", Modem(kC251, "SIM0", "com5") + SerialPorts({{"/dev/pts/7", "COM5"}}),
       "COM5=1\n", {}, {}},
      {"one port name of two instances matches two serial ports once each",
       Modem(kC251, "A", "COM5") + Modem(kC251, "B", "COM5") +
           SerialPorts({{"/dev/a", "COM5"}, {"/dev/b", "COM5"}, {"/dev/c", "COM5"}}),
       "COM5=1\n", {5, 5}, {5}},
      {"no serial port map", Modem(kC251, "SIM0", "COM5"), "COM5=1\n", {}, {}},
  };
  for (const Case& c : cases) {
    Write(c.registry, c.deviceMap);
    opener = FakeOpener{};
    FindModemPort(core, opener.Fn());
    EXPECT_EQ(opener.asked, c.asked) << c.name;
    EXPECT_EQ(opener.opened, c.opened) << c.name;
  }
}

TEST_F(FindModemPortTest, APortNameThatIsNotComAndANumberStopsTheSearch) {
  for (const std::string bad : {"MODEM", "COM", "COMx1", "COM-3", "COM70000"}) {
    Write(Modem(kC251, "A", bad) + Modem(kFfff, "B", "COM6") + SerialPorts({{"/dev/a", bad}, {"/dev/b", "COM6"}}),
          bad + "=1\nCOM6=1\n");
    opener = FakeOpener{};
    EXPECT_THROW(FindModemPort(core, opener.Fn()), std::invalid_argument) << bad;
    EXPECT_TRUE(opener.asked.empty()) << bad;  // neither that port nor the ones after it
  }
}

TEST_F(FindModemPortTest, FindsTheMachinesOwnUsbModem) {
  devices.AddUsbTty("ttyUSB0", "1234", "5678");
  devices.AddUsbTty("ttyACM2", "ffff", "b6e4");
  Write("", "COM200=1\nCOM102=1\n");
  FindModemPort(core, opener.Fn());
  EXPECT_EQ(opener.asked, (std::vector<int>{102}));
}

// A modem of other ids is declared by hand as a modem's port, named by the COM
// name of the machine's own device, as the README shows it.
TEST_F(FindModemPortTest, AModemOfOtherIdsIsFoundByTheComNameDeclaredForIt) {
  for (const char* tty : {"ttyUSB0", "ttyUSB1", "ttyUSB2"}) devices.AddUsbTty(tty, "12d1", "1506");
  Write(Modem(kC251, "MODEM", "COM202"), "COM202=1\n");
  FindModemPort(core, opener.Fn());
  EXPECT_EQ(opener.asked, (std::vector<int>{202}));
}

}  // namespace
