#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "platform/com_port_names.h"
#include "platform/errno_map.h"
#include "platform/event.h"
#include "platform/file_io.h"
#include "platform/last_error.h"
#include "platform/open_comm_device.h"
#include "platform/termios_comm_device.h"
#include "tests/support/denied_access.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ComPortNames, NumbersFromNames) {
  const std::pair<const char*, int> cases[] = {
      {"\\\\.\\COM5", 5}, {"COM12", 12}, {"com3", 3}, {"COM", 0},   {"COM0", 0},
      {"COM5x", 0},       {"LPT1", 0},   {"", 0},     {"\\\\.\\COM-1", 0},
  };
  for (const auto& [name, number] : cases) EXPECT_EQ(ComNumberFromName(name), number) << name;
}

TEST(ComPortNames, APathIsTheNameOfTheValueWhoseDataIsTheComName) {
  TempDir dir;
  const std::string file = dir.File("registry.reg");
  ASSERT_TRUE(WriteFileAtomically(file,
      "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
      "\"/dev/ttyUSB0\"=\"COM5\"\r\n"
      "\"/dev/ttyACM0\"=\"com7\"\r\n"
      "\"/dev/ttyS1\"=dword:00000002\r\n"));
  EXPECT_EQ(ComDevicePath(5, file), "/dev/ttyUSB0");
  EXPECT_EQ(ComDevicePath(7, file), "/dev/ttyACM0");
  EXPECT_EQ(ComDevicePath(2, file), std::nullopt);  // not a COM name
  EXPECT_EQ(ComDevicePath(1, file), std::nullopt);
  EXPECT_EQ(ComDevicePath(5, dir.File("missing.reg")), std::nullopt);
}

class TermiosDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComRegistryFile(registry);
    RegisterComPort(registry, 3, pty.DevicePath());
  }
  void TearDown() override { SetComRegistryFile(""); }

  TempDir dir;
  std::string registry = dir.File("registry.reg");
  PseudoTerminal pty;
};

TEST_F(TermiosDevice, OpenErrorsCarryTheSystemNumbers) {
  RegisterComPort(registry, 4, dir.File("no-such-tty"));
  PseudoTerminal forbidden;
  ASSERT_EQ(::chmod(forbidden.DevicePath().c_str(), 0), 0);
  RegisterComPort(registry, 6, forbidden.DevicePath());
  const auto held = OpenComDevice("\\\\.\\COM3");
  ASSERT_NE(held, nullptr);
  const std::pair<const char*, int> cases[] = {
      {"\\\\.\\COM9", kSysFileNotFound},      // no device registered
      {"\\\\.\\COM4", kSysFileNotFound},      // registered, but not there
      {"\\\\.\\COM3", kSysSharingViolation},  // in use, even for root
      {"\\\\.\\COM6", kSysAccessDenied},      // not allowed to this user
      {"PRN", kSysFileNotFound},
  };
  const WithoutFileOverride asAnyUser;
  for (const auto& [name, error] : cases) {
    SetLastSysError(0);
    EXPECT_EQ(OpenComDevice(name), nullptr) << name;
    EXPECT_EQ(GetLastSysError(), error) << name;
  }
}

TEST_F(TermiosDevice, MovesBytesBothWaysAndKeepsWhatThePseudoTerminalDrops) {
  const auto device = OpenComDevice("COM3");
  ASSERT_NE(device, nullptr);

  pty.Send("AT\r");
  ASSERT_EQ(device->Wait(kCommData, 10000) & kCommData, kCommData);
  std::uint8_t buffer[16];
  std::string got;
  while (got.size() < 3) {
    const std::int32_t n = device->Read(buffer);
    ASSERT_GE(n, 0);
    got.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
    if (got.size() < 3) device->Wait(kCommData, 10000);
  }
  EXPECT_EQ(got, "AT\r");
  EXPECT_EQ(device->Read(buffer), 0);  // nothing more: 0, not a failure

  const std::string reply = "OK\r\n";
  EXPECT_EQ(device->Write({reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size()}), 4);
  EXPECT_EQ(pty.Receive(4), reply);

  TCommDcb dcb;
  ASSERT_TRUE(device->GetState(dcb));
  dcb.BaudRate = 19200;
  dcb.ByteSize = 7;
  dcb.Parity = 2;
  dcb.StopBits = 2;
  ASSERT_TRUE(device->SetState(dcb));
  TCommDcb back;
  ASSERT_TRUE(device->GetState(back));
  EXPECT_EQ(back, dcb);

  dcb.BaudRate = 12345;  // no such rate
  EXPECT_FALSE(device->SetState(dcb));
  EXPECT_EQ(GetLastSysError(), kSysInvalidParameter);

  // A pseudo-terminal has no modem lines and no error counters: that is no failure.
  std::uint32_t lines = 1;
  EXPECT_TRUE(device->ModemStatus(lines));
  EXPECT_EQ(lines, 0u);
  EXPECT_TRUE(device->Escape(kEscSetDtr));
  EXPECT_TRUE(device->Escape(kEscSetBreak));
  EXPECT_TRUE(device->Escape(kEscClrBreak));
  TCommStat stat;
  EXPECT_EQ(device->TakeErrors(stat), 0u);
  EXPECT_TRUE(device->Purge(kPurgeRxClear | kPurgeTxClear));
}

TEST_F(TermiosDevice, WakeEndsAWaitAndStaysUntilCleared) {
  const auto device = OpenComDevice("COM3");
  ASSERT_NE(device, nullptr);
  TEvent other;
  other.Set();
  EXPECT_EQ(device->Wait(kCommData | kCommLineEvent, kInfinite, &other), kCommOther);
  device->Wake();
  EXPECT_EQ(device->Wait(kCommData | kCommLineEvent, kInfinite), kCommWake);
  EXPECT_EQ(device->Wait(kCommData, kInfinite), kCommWake);
  device->ClearWake();
  EXPECT_EQ(device->Wait(kCommData, 10), 0u);
}

TEST_F(TermiosDevice, AHangUpIsAReadFailureNotAnEndlessStreamOfNothing) {
  const auto device = OpenComDevice("COM3");
  ASSERT_NE(device, nullptr);
  pty.HangUp();
  EXPECT_EQ(device->Wait(kCommData, 10000) & kCommData, kCommData);
  std::uint8_t buffer[16];
  EXPECT_EQ(device->Read(buffer), -1);
  EXPECT_EQ(GetLastSysError(), kSysDeviceNotConnected);
}

TEST_F(TermiosDevice, AWaitForAHangUpAloneLetsBytesWaitButSeesTheLineGo) {
  const auto device = OpenComDevice("COM3");
  ASSERT_NE(device, nullptr);
  pty.Send("unread");
  ASSERT_EQ(device->Wait(kCommData, 10000) & kCommData, kCommData);
  EXPECT_EQ(device->Wait(kCommHangUp, 10), 0u);  // bytes to read end no such wait
  pty.HangUp();
  EXPECT_EQ(device->Wait(kCommHangUp, 10000), kCommHangUp);
  EXPECT_EQ(GetLastSysError(), kSysDeviceNotConnected);
}

}  // namespace
