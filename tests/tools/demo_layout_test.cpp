// The demo's program folders: each program in its own, never both in one, since
// each keeps an inbox.db and an outbox.db of its own meaning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/file_io.h"
#include "platform/ini_file.h"
#include "platform/registry.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class DemoLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* exe : {"trelmsrv", "trelmcli"}) {
      ASSERT_TRUE(WriteFileAtomically(bin.File(exe), "#!/bin/sh\n"));
      fs::permissions(bin.File(exe), fs::perms::owner_all);
    }
  }

  int LayOut() const {
    const std::string command = std::string("bash '") + LAY_OUT_SCRIPT + "' '" + bin.path() + "' '" +
                                run.File("run") + "' >/dev/null";
    return std::system(command.c_str());
  }
  std::string In(std::string_view folder, std::string_view name) const {
    return PathJoin(run.File("run/" + std::string(folder)), name);
  }

  TempDir bin;
  TempDir run;
};

TEST_F(DemoLayout, EachProgramGetsAFolderAndASettingsFileOfItsOwn) {
  ASSERT_EQ(LayOut(), 0);
  EXPECT_TRUE(fs::exists(In("server", "trelmsrv")));
  EXPECT_TRUE(fs::exists(In("client", "trelmcli")));
  EXPECT_FALSE(fs::exists(In("server", "trelmcli")));
  EXPECT_FALSE(fs::exists(In("client", "trelmsrv")));

  // The client connects where the server listens.
  const IniFile server(In("server", "Config.ini"));
  const IniFile client(In("client", "Config.ini"));
  EXPECT_EQ(server.ReadInteger("CONNECTION", "EthernetPort", 0), 8099);
  EXPECT_EQ(client.ReadString("CONNECTION", "ServerIP", ""), "127.0.0.1");
  EXPECT_EQ(client.ReadInteger("CONNECTION", "Port", 0), 8099);
  EXPECT_FALSE(server.KeyExists("CONNECTION", "ServerIP"));
  EXPECT_FALSE(client.KeyExists("CONNECTION", "EthernetPort"));
}

TEST_F(DemoLayout, LayingOutAgainKeepsSettingsAndFiles) {
  ASSERT_EQ(LayOut(), 0);
  ASSERT_TRUE(WriteFileAtomically(In("server", "Config.ini"), "[CONNECTION]\nEthernetPort=9000\n"));
  ASSERT_TRUE(WriteFileAtomically(In("server", "inbox.db"), "queued"));
  ASSERT_TRUE(WriteFileAtomically(In("client", "inbox.db"), "received"));
  ASSERT_EQ(LayOut(), 0);
  EXPECT_EQ(ReadWholeFile(In("server", "Config.ini")), "[CONNECTION]\nEthernetPort=9000\n");
  EXPECT_EQ(ReadWholeFile(In("server", "inbox.db")), "queued");
  EXPECT_EQ(ReadWholeFile(In("client", "inbox.db")), "received");
}

// The server finds the simulator, whose terminal <run>/modem links to, as its
// modem on COM5, allowed in Config.ini, and reads the SIM.
TEST_F(DemoLayout, TheServerIsGivenTheSimulatedModemAndKeepsItsOwnRegistryValues) {
  fs::create_directories(run.File("run/server"));
  const std::string users =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trelm\\SMSConfig\\Server\\Users]\n\"operator\"=hex:03,03\n";
  ASSERT_TRUE(WriteFileAtomically(In("server", "registry.reg"), users));
  ASSERT_EQ(LayOut(), 0);
  ASSERT_EQ(LayOut(), 0);  // again: declared once

  TRegistry reg(In("server", "registry.reg"));
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\HARDWARE\\DEVICEMAP\\SERIALCOMM"));
  const std::string modem = fs::canonical(run.File("run")).string() + "/modem";
  EXPECT_EQ(reg.ReadString(modem), "COM5");
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_c251&Pid_b6e4\\SIM0\\Device Parameters"));
  EXPECT_EQ(reg.ReadString("PortName"), "COM5");
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Trelm\\SMSConfig\\Server\\Users"));
  EXPECT_TRUE(reg.ValueExists("operator"));
  EXPECT_EQ(ReadWholeFile(In("server", "registry.reg"))->find(users), 0u);

  const IniFile server(In("server", "Config.ini"));
  EXPECT_NE(server.ReadString("DEVICEMAP", "COM5", ""), "");
  EXPECT_EQ(server.ReadInteger("CONNECTION", "CheckMail", 0), 1);
}

}  // namespace
