#include <gtest/gtest.h>

#include <filesystem>

#include "client/core/address_text.h"
#include "client/core/client_config.h"
#include "platform/file_io.h"
#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(AddressText, StoredAddressBecomesOneValue) {
  struct Case {
    std::string text;
    std::optional<std::uint32_t> value;
  };
  const std::vector<Case> cases = {
      {"192.168.0.5", 0xC0A80005u},
      {"127.0.0.1", 0x7F000001u},
      {"0.0.0.0", 0u},
      {"1.2.3.256", 0x01020400u},  // no range test: the numbers simply add up
      {"localhost", std::nullopt},
      {"0x7f.0.0.1", std::nullopt},
      {"10.0.0", std::nullopt},
      {"10.0.x.1", std::nullopt},
      {"1.2.3.4.5", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(StoredAddressValue(c.text), c.value) << c.text;
}

TEST(AddressText, OnlyAWholeDottedAddressIsOne) {
  EXPECT_EQ(DottedAddressValue("192.168.1.10"), 0xC0A8010Au);
  EXPECT_EQ(DottedAddressValue("0.0.0.0"), 0u);
  EXPECT_EQ(DottedAddressValue("255.255.255.255"), 0xFFFFFFFFu);
  for (const char* no : {"", "192", "192.168", "192.168.1", "192.168.1.", "1.2.3.4.5", "256.1.1.1", "1..2.3",
                         ".1.2.3", "1.2.3.0010", "1.2.3.x", "+1.2.3.4", "1.2.3.4 ", "localhost"}) {
    SCOPED_TRACE(no);
    EXPECT_FALSE(DottedAddressValue(no));
  }
}

TEST(AddressText, DottedAddressAndPortText) {
  EXPECT_EQ(DottedAddress(0xC0A80005u), "192.168.0.5");
  EXPECT_EQ(DottedAddress(0xFFFFFFFFu), "255.255.255.255");
  EXPECT_EQ(ParseInt32("8099"), 8099);
  EXPECT_EQ(ParseInt32("-5"), -5);
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  for (const char* bad : {"", "2147483648", "99999999999", "80 99", "+", "12a"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseInt32(bad));
  }
}

TEST(ClientConfig, MissingFileGivesDefaultsAndWritingStoresBothKeys) {
  TempDir dir;
  const ClientConfig defaults = ReadClientConfig(dir.path());
  EXPECT_EQ(defaults.serverIP, "127.0.0.1");
  EXPECT_EQ(defaults.port, 8099);
  EXPECT_FALSE(std::filesystem::exists(ClientConfigPath(dir.path())));

  ASSERT_TRUE(WriteClientConfig(dir.path(), ClientConfig{"10.0.0.1", 9100}));
  const IniFile ini(ClientConfigPath(dir.path()));
  EXPECT_EQ(ini.ReadString("CONNECTION", "ServerIP", ""), "10.0.0.1");
  EXPECT_EQ(ini.ReadInteger("CONNECTION", "Port", 0), 9100);
  const ClientConfig read = ReadClientConfig(dir.path());
  EXPECT_EQ(read.serverIP, "10.0.0.1");
  EXPECT_EQ(read.port, 9100);
}

TEST(ClientConfig, MissingKeyGivesItsDefault) {
  TempDir dir;
  ASSERT_TRUE(WriteFileAtomically(ClientConfigPath(dir.path()), "[CONNECTION]\r\nServerIP=server.office\r\n"));
  const ClientConfig read = ReadClientConfig(dir.path());
  EXPECT_EQ(read.serverIP, "server.office");
  EXPECT_EQ(read.port, 8099);
}

}  // namespace
