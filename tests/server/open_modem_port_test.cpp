// A modem port that does not open: the port layer's code for each cause, and one
// line on standard error that names the COM name and the device, once per cause.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "platform/com_port_names.h"
#include "platform/comm_device.h"
#include "platform/open_comm_device.h"
#include "serial/base/deva_exceptions.h"
#include "serial/base/result_codes.h"
#include "server/open_modem_port.h"
#include "server/server_core.h"
#include "tests/support/captured_stderr.h"
#include "tests/support/denied_access.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"

namespace {

class OpenModemPortTest : public ::testing::Test {
 protected:
  void TearDown() override { SetComRegistryFile(""); }

  // The code the open raised (0: it opened) and what standard error said meanwhile.
  std::pair<std::int32_t, std::string> Open(int comNumber) {
    testing::internal::CaptureStderr();
    std::int32_t code = 0;
    try {
      OpenModemPort(core, comNumber);
    } catch (const std::exception& e) {
      code = XlatException(e);
    }
    return {code, CapturedStderr()};
  }

  TempDir dir;
  ServerCore core{dir.path()};
  std::string registry = core.FilePath(kRegistryFile);
};

TEST_F(OpenModemPortTest, EachCauseHasItsCodeAndALineNamingThePortAndItsDevice) {
  PseudoTerminal held, forbidden;
  RegisterComPort(registry, 3, held.DevicePath());
  RegisterComPort(registry, 5, dir.File("ttyUSB7"));
  RegisterComPort(registry, 6, forbidden.DevicePath());
  ASSERT_EQ(::chmod(forbidden.DevicePath().c_str(), 0), 0);
  SetComRegistryFile(registry);
  const auto other = OpenComDevice("COM3");  // another program has it
  ASSERT_NE(other, nullptr);

  const struct {
    const char* what;
    int comNumber;
    std::int32_t code;
    std::string line;
  } cases[] = {
      {"absent", 5, ecBadId, "trelmsrv: cannot open COM5 (" + dir.File("ttyUSB7") + "): no such device\n"},
      {"not declared", 9, ecBadId, "trelmsrv: cannot open COM9 (no device registered): no such device\n"},
      {"in use", 3, ecAlreadyOpen,
       "trelmsrv: cannot open COM3 (" + held.DevicePath() + "): in use by another program\n"},
      {"permission denied", 6, ecAccessDenied,
       "trelmsrv: cannot open COM6 (" + forbidden.DevicePath() + "): permission denied\n"},
  };
  const WithoutFileOverride asAnyUser;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto [code, said] = Open(c.comNumber);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(said, c.line);
    // Every retry meets the same cause; it was said.
    EXPECT_EQ(Open(c.comNumber), std::make_pair(c.code, std::string()));
  }
  EXPECT_EQ(core.ModemPortCount(), 0u);
}

}  // namespace
