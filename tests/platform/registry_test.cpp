#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "platform/registry.h"
#include "tests/support/fake_device_tree.h"
#include "tests/support/temp_dir.h"

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.File("registry.reg");
  TRegistry reg{path};
};

TEST_F(RegistryTest, MissingFileHasNoKeysAndOpenKeyCreates) {
  EXPECT_FALSE(reg.OpenKeyReadOnly("\\SOFTWARE\\Trelm\\SMSConfig"));
  EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\Trelm\\SMSConfig", false));
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Trelm\\SMSConfig", true));
  EXPECT_FALSE(reg.ValueExists("MessageRef"));
  TRegistry other(path);
  EXPECT_TRUE(other.KeyExists("\\software\\trelm\\smsconfig"));
  EXPECT_TRUE(other.KeyExists("\\SOFTWARE\\Trelm"));  // a key above a written one exists too
}

TEST_F(RegistryTest, ValuesRoundTripThroughTheFile) {
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Trelm\\SMSConfig", true));
  reg.WriteInteger("MessageRef", -3);
  reg.WriteString("Text", "quote \" and \\ backslash");
  const std::vector<std::uint8_t> bytes = {0x00, 0x1F, 0xFF, 0x80};
  reg.WriteBinaryData("Blob", bytes);
  reg.WriteInteger("messageref", 7);  // same value, other case: replaced

  TRegistry again(path);
  ASSERT_TRUE(again.OpenKeyReadOnly("SOFTWARE\\Trelm\\SMSConfig\\"));
  EXPECT_EQ(again.ReadInteger("MessageRef"), 7);
  EXPECT_EQ(again.ReadString("text"), "quote \" and \\ backslash");
  EXPECT_EQ(again.ReadBinaryData("Blob"), bytes);
  EXPECT_EQ(again.GetDataType("Blob"), RegDataType::Binary);
  EXPECT_EQ(again.GetValueNames(), (std::vector<std::string>{"MessageRef", "Text", "Blob"}));
  EXPECT_THROW(again.ReadInteger("Text"), ERegistryException);  // a value of another type
  EXPECT_THROW(again.ReadString("Missing"), ERegistryException);
  EXPECT_THROW(again.WriteInteger("MessageRef", 1), ERegistryException);  // read-only
}

TEST_F(RegistryTest, ReadsAHandWrittenFileWithSubkeys) {
  ASSERT_TRUE(WriteFileAtomically(path,
      "; users of the server\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trelm\\SMSConfig\\Server\\Users]\r\n"
      "\"ivanov\"=hex:20,1d,1c\r\n"
      "\"petrov\"=\"not binary\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4\\5&1\\Device Parameters]\r\n"
      "\"PortName\"=\"COM5\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4\\6&2\\Device Parameters]\r\n"
      "\"PortName\"=\"COM7\"\r\n"
      "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
      "\"\\\\Device\\\\ttyACM0\"=\"COM7\"\r\n"
      "\"\\\\Device\\\\ttyACM1\"=\"COM5\"\r\n"));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Trelm\\SMSConfig\\Server\\Users"));
  EXPECT_EQ(reg.ReadBinaryData("IVANOV"), (std::vector<std::uint8_t>{0x20, 0x1D, 0x1C}));
  EXPECT_EQ(reg.GetDataType("petrov"), RegDataType::String);

  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4"));
  EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"5&1", "6&2"}));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4\\6&2\\Device Parameters"));
  EXPECT_EQ(reg.ReadString("PortName"), "COM7");
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\HARDWARE\\DEVICEMAP\\SERIALCOMM"));
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"\\Device\\ttyACM0", "\\Device\\ttyACM1"}));
  EXPECT_FALSE(reg.OpenKeyReadOnly("\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_ffff&Pid_b6e4"));

  // A write keeps the comment and the other keys as they were.
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Trelm\\SMSConfig", true));
  reg.WriteInteger("MessageRef", 8);
  const std::string text = *ReadWholeFile(path);
  EXPECT_EQ(text.rfind("; users of the server\r\n", 0), 0u);
  EXPECT_NE(text.find("\"MessageRef\"=dword:00000008\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"PortName\"=\"COM5\""), std::string::npos);
}

TEST_F(RegistryTest, MalformedValueLinesAreNotValues) {
  ASSERT_TRUE(WriteFileAtomically(path, "[K]\n\"a\"=dword:xyz\n\"b\"=hex:1,2\n\"c\"=dword:0000000a\nnonsense\n"));
  ASSERT_TRUE(reg.OpenKeyReadOnly("K"));
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"c"}));
  EXPECT_EQ(reg.ReadInteger("c"), 10);
}

TEST_F(RegistryTest, PresentsTheUsbSerialDevicesBesideTheFile) {
  using Names = std::vector<std::string>;
  const char* kSerialComm = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
  const std::string kUsb = "\\SYSTEM\\CurrentControlSet\\Enum\\USB";
  FakeDeviceTree tree;
  EXPECT_FALSE(reg.KeyExists(kSerialComm));
  tree.AddUsbTty("ttyUSB3", "ffff", "b6e4");
  tree.AddUsbTty("ttyACM0", "C251", "B6E4");
  tree.AddUsbTty("ttyACM100", "c251", "b6e4");  // beyond the naming rule
  tree.AddOtherTty("ttyACM1");                  // not on USB
  tree.AddOtherTty("ttyS0");
  ASSERT_TRUE(WriteFileAtomically(path,
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4\\SIM0\\Device Parameters]\r\n"
      "\"PortName\"=\"COM5\"\r\n"
      "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
      "\"/dev/pts/7\"=\"COM5\"\r\n"));
  const std::string before = *ReadWholeFile(path);

  ASSERT_TRUE(reg.OpenKeyReadOnly(kUsb));
  EXPECT_EQ(reg.GetKeyNames(), (Names{"Vid_c251&Pid_b6e4", "Vid_ffff&Pid_b6e4"}));
  ASSERT_TRUE(reg.OpenKeyReadOnly(kUsb + "\\Vid_c251&Pid_b6e4"));
  EXPECT_EQ(reg.GetKeyNames(), (Names{"SIM0", "ttyACM0"}));
  ASSERT_TRUE(reg.OpenKeyReadOnly(kUsb + "\\Vid_c251&Pid_b6e4\\ttyACM0\\Device Parameters"));
  EXPECT_EQ(reg.ReadString("PortName"), "COM100");
  ASSERT_TRUE(reg.OpenKeyReadOnly(kUsb + "\\Vid_ffff&Pid_b6e4\\ttyUSB3\\Device Parameters"));
  EXPECT_EQ(reg.ReadString("PortName"), "COM203");
  ASSERT_TRUE(reg.OpenKey(kSerialComm, false));
  EXPECT_EQ(reg.GetValueNames(), (Names{"/dev/pts/7", "/dev/ttyACM0", "/dev/ttyUSB3"}));
  EXPECT_EQ(reg.ReadString("/dev/ttyUSB3"), "COM203");

  // Read when the key is opened: an unplugged device is gone from the next open.
  tree.Remove("ttyACM0");
  EXPECT_EQ(reg.GetValueNames().size(), 3u);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kSerialComm));
  EXPECT_EQ(reg.GetValueNames(), (Names{"/dev/pts/7", "/dev/ttyUSB3"}));

  // Nothing of the devices ever reaches the file, not even when it is written.
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Trelm\\SMSConfig", true));
  reg.WriteInteger("MessageRef", 1);
  const std::string after = *ReadWholeFile(path);
  EXPECT_EQ(after.find("tty"), std::string::npos);
  EXPECT_EQ(after.substr(0, before.size()), before);
}

}  // namespace
