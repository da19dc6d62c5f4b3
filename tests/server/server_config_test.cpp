#include <gtest/gtest.h>

#include "platform/file_io.h"
#include "server/clients/server_config.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ReadServerConfig, AMissingFileGivesTheDefaults) {
  TempDir dir;
  const ServerConfig c = ReadServerConfig(dir.File("Config.ini"));
  EXPECT_EQ(c.Timeout, 500);
  EXPECT_EQ(c.UCNT, 10);
  EXPECT_EQ(c.EthernetPort, 8099);
  EXPECT_FALSE(c.NeedReg);
  EXPECT_FALSE(c.CheckMail);
}

struct ConfigCase {
  const char* ini;
  long timeout, ucnt, port;
  bool needReg, checkMail;
};

TEST(ReadServerConfig, IntegersAreDecimalOrHexAndFlagsAreIntegers) {
  const ConfigCase cases[] = {
      {"[CONNECTION]\nTimeout=250\nUCNT=0x20\nEthernetPort=0X1FA4\nNeedReg=1\nCheckMail=0\n", 250, 32, 8100, true, false},
      {"[connection]\nneedreg=7\ncheckmail=-1\n", 500, 10, 8099, true, true},
      {"[CONNECTION]\nTimeout=fast\nUCNT=\nEthernetPort=80x\nNeedReg=true\nCheckMail=yes\n", 500, 10, 8099, false, false},
      {"[CONNECTION]\nEthernetPort=0\nNeedReg=0\n", 500, 10, 0, false, false},
      {"[OTHER]\nEthernetPort=9000\n", 500, 10, 8099, false, false},
      // Too large for a 32-bit integer: the defaults, not what a cut-off gives.
      {"[CONNECTION]\nTimeout=4294967296\nUCNT=4294967306\nEthernetPort=4294967296\nNeedReg=4294967296\n",
       500, 10, 8099, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("Config.ini"), c.ini));
    const ServerConfig got = ReadServerConfig(dir.File("Config.ini"));
    EXPECT_EQ(got.Timeout, c.timeout);
    EXPECT_EQ(got.UCNT, c.ucnt);
    EXPECT_EQ(got.EthernetPort, c.port);
    EXPECT_EQ(got.NeedReg, c.needReg);
    EXPECT_EQ(got.CheckMail, c.checkMail);
  }
}

}  // namespace
