#pragma once
// A real server whose modem is the simulator on a pseudo-terminal, declared as
// COM5 in the server's registry file and allowed in its Config.ini.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com_port_names.h"
#include "platform/file_io.h"
#include "server/find_modem_port.h"
#include "server/open_modem_port.h"
#include "sms/tsms.h"
#include "tests/server/server_fixture.h"
#include "tests/support/fake_device_tree.h"
#include "tools/modem_sim/modem_sim.h"

// registry.reg with the modem's USB device named `portName`, that port being
// `devicePath`, and the reference counter of concatenated messages at 7.
inline std::string ModemRegistry(const std::string& devicePath, const std::string& portName = "COM5") {
  return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trelm\\SMSConfig]\n\"MessageRef\"=dword:00000007\n"
         "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4\\SIM0\\Device Parameters]\n"
         "\"PortName\"=\"" + portName + "\"\n"
         "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"" +
         devicePath + "\"=\"" + portName + "\"\n";
}

// A received PDU with `digits` in place of its own, `offset` digits after the
// sender's address (0: TP-PID, 2: TP-DCS, 4: the time stamp).
inline std::string Tampered(const std::string& pdu, std::size_t offset, const std::string& digits) {
  TSMS sms;
  sms.ParsePdu(pdu);
  std::string out = pdu;
  out.replace(static_cast<std::size_t>(sms.firstPos + 5 + sms.addrLen) + offset, digits.size(), digits);
  return out;
}

class ModemFixture : public ServerFixture {
 protected:
  ModemFixture() { sim.Start(); }
  ~ModemFixture() override {
    if (core) core->Close();  // before the simulator goes
    SetComRegistryFile("");
  }

  // The modem plugged in as `portName`, a port Config.ini allows as it does COM5.
  void DeclareModem(const std::string& devicePath, const std::string& portName = "COM5") {
    ASSERT_TRUE(WriteFileAtomically(dir.File(kRegistryFile), ModemRegistry(devicePath, portName)));
    ASSERT_TRUE(WriteFileAtomically(dir.File(kConfigFile), "[DEVICEMAP]\nCOM5=1\nCOM6=1\n"));
  }

  void StartServer(bool checkMail) {
    ServerConfig c = Config();
    c.CheckMail = checkMail;
    ServerFixture::StartServer(c);
  }

  // The search the main form runs two seconds after start, with `modem` plugged
  // in: its port is opened and the worker starts on it.
  void FindModem(const ModemSim& modem) {
    DeclareModem(modem.DevicePath());
    FindModemPort(*core, [this](int comNumber) { return OpenModemPort(*core, comNumber); });
    ASSERT_EQ(core->ModemPortCount(), 1u);
  }
  void FindModem() { FindModem(sim); }

  // Messages a client hands in; they are queued before the call returns. A running
  // worker may take them as soon as they are queued, so the queue's count cannot
  // tell: the connection's thread ends only after it has queued what came before
  // the client closed.
  void HandIn(const std::vector<packet>& messages) {
    const std::size_t served = core->Connections();
    {
      LoopbackClient client(port);
      for (const packet& m : messages) ASSERT_TRUE(client.Send(m));
      ASSERT_TRUE(WaitUntil([&] { return core->Connections() == served + 1; }));
    }
    ASSERT_TRUE(WaitUntil([&] { return core->Connections() == served; }));
  }

  // The sends the simulator took, once there are `count`.
  std::vector<SimSend> Sends(std::size_t count) {
    EXPECT_TRUE(sim.WaitFor([&](const ModemSimView& v) { return v.sends.size() >= count; }));
    return sim.Sends();
  }

  FakeDeviceTree devices;  // the machine's own devices stay out of the search
  ModemSim sim;
};
