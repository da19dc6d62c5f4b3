#include <gtest/gtest.h>

#include <functional>

#include "serial/base/deva_exceptions.h"
#include "serial/base/result_codes.h"
#include "tests/serial/port/port_fixture.h"

namespace {

using PortSettings = FakePort;

TEST_F(PortSettings, ANewPortHasItsDefaultsAndClosedValues) {
  TDevaComPort fresh(nullptr);
  EXPECT_EQ(fresh.ComNumber(), 0);
  EXPECT_EQ(fresh.Baud(), 19200);
  EXPECT_EQ(fresh.DataBits(), 8);
  EXPECT_EQ(fresh.StopBits(), 1);
  EXPECT_EQ(fresh.Parity(), pNone);
  EXPECT_EQ(fresh.InSize(), 4096);
  EXPECT_EQ(fresh.OutSize(), 4096);
  EXPECT_TRUE(fresh.DTR());
  EXPECT_TRUE(fresh.RTS());
  EXPECT_EQ(fresh.BufferFull(), 0);
  EXPECT_EQ(fresh.BufferResume(), 0);
  EXPECT_EQ(fresh.TraceName, "DEVA.TRC");
  EXPECT_EQ(fresh.LogName, "DEVA.LOG");
  EXPECT_EQ(fresh.CommNotificationLevel(), 10);
  EXPECT_EQ(fresh.TapiMode, tmAuto);
  EXPECT_TRUE(fresh.PromptForPort);
  EXPECT_TRUE(fresh.AutoOpen);
  EXPECT_FALSE(fresh.Open());
  EXPECT_EQ(fresh.PortState(), psClosed);
  EXPECT_EQ(fresh.GetInBuffFree(), 8192u);
  EXPECT_EQ(fresh.GetOutBuffFree(), 4096u);
  EXPECT_EQ(fresh.GetInBuffUsed(), 0u);
  EXPECT_FALSE(fresh.GetDSR());
  EXPECT_EQ(fresh.GetLineError(), 0);

  fresh.SetDeviceLayer(dlWinsock);  // not an allowed layer
  EXPECT_EQ(fresh.DeviceLayer(), dlWin32);
  fresh.SetUseMSRShadow(false);
  EXPECT_TRUE(fresh.UseMSRShadow());
  fresh.SetTraceSize(5000000);
  EXPECT_EQ(fresh.TraceSize(), 4000000u);
  fresh.SetLogSize(20000000);
  EXPECT_EQ(fresh.LogSize(), 16000000u);
  fresh.SetTracing(tlDump);  // closed, only "on" is kept
  EXPECT_EQ(fresh.Tracing(), tlOff);
  fresh.SetTracing(tlOn);
  EXPECT_EQ(fresh.Tracing(), tlOn);
  EXPECT_EQ(ComName(12), "COM12");
}

TEST_F(PortSettings, SearchComPortFindsTheFirstPortOfADepthFirstWalk) {
  TComponent form(nullptr);
  TComponent panel(&form);
  TDevaComPort inner(&panel);
  TDevaComPort outer(&form);
  EXPECT_EQ(SearchComPort(&form), &inner);  // the panel and its tree come before
  EXPECT_EQ(SearchComPort(&inner), nullptr);
  EXPECT_EQ(SearchComPort(nullptr), nullptr);
}

// Each case starts from a fresh closed port with the given input size.
struct ThresholdCase {
  const char* what;
  std::uint16_t inSize;
  std::function<void(TDevaComPort&)> steps;
  std::uint16_t full, resume;
};

TEST_F(PortSettings, FlowControlDerivesItsThresholdsOnlyWhereTheyAreMissingOrOutOfRange) {
  const ThresholdCase cases[] = {
      {"hardware flow", 4096, [](auto& p) { p.SetHWFlowOptions({hwfUseDTR, hwfUseRTS}); }, 3686, 409},
      {"hardware flow, small input", 1000, [](auto& p) { p.SetHWFlowOptions({hwfUseDTR, hwfUseRTS}); }, 900, 100},
      {"software flow", 4096, [](auto& p) { p.SetSWFlowOptions(swfBoth); }, 3072, 1024},
      {"software after hardware keeps them", 4096,
       [](auto& p) {
         p.SetHWFlowOptions({hwfUseDTR});
         p.SetSWFlowOptions(swfBoth);
       },
       3686, 409},
      {"no flow derives nothing", 4096, [](auto& p) { p.SetHWFlowOptions({}); }, 0, 0},
      {"full above the input", 4096, [](auto& p) { p.SetBufferFull(5000); }, 3686, 0},
      {"full within the input", 4096, [](auto& p) { p.SetBufferFull(2000); }, 2000, 0},
      {"resume above full", 4096,
       [](auto& p) {
         p.SetBufferFull(2000);
         p.SetBufferResume(3000);
       },
       2000, 200},
      {"a threshold of 0 under hardware flow is derived again", 4096,
       [](auto& p) {
         p.SetHWFlowOptions({hwfUseDTR});
         p.SetBufferFull(0);
       },
       3686, 409},
  };
  for (const auto& c : cases) {
    TDevaComPort p(nullptr);
    p.SetInSize(c.inSize);
    c.steps(p);
    EXPECT_EQ(p.BufferFull(), c.full) << c.what;
    EXPECT_EQ(p.BufferResume(), c.resume) << c.what;
  }
}

TEST_F(PortSettings, RS485ModeAndHardwareFlowOnRTSExcludeEachOther) {
  port.SetHWFlowOptions({hwfUseDTR, hwfUseRTS, hwfRequireCTS});
  port.SetRS485Mode(true);
  EXPECT_EQ(port.HWFlowOptions(), (THWFlowOptionSet{hwfUseDTR}));
  EXPECT_FALSE(port.RTS());
  port.SetHWFlowOptions({hwfUseDTR, hwfUseRTS});
  EXPECT_FALSE(port.RS485Mode());
}

TEST_F(PortSettings, TheOpenAppliesWhatWasStoredWhileClosed) {
  port.SetHWFlowOptions({hwfUseDTR, hwfUseRTS});  // as the server does before its open
  port.SetBaud(115200);
  port.SetXonChar(1);
  Open();
  // Handed to the open: the line, the sizes and DTR/RTS under the driver's handshake.
  EXPECT_EQ(d->DeviceName, "\\\\.\\COM1");
  EXPECT_EQ(d->CurrentBaud, 115200u);
  EXPECT_TRUE(d->DtrByDriver);
  EXPECT_TRUE(d->RtsByDriver);
  // Then written again, forced: the thresholds reach the driver as its limits.
  EXPECT_EQ(d->PortDCB.XoffLim, 4096 - 3686);
  EXPECT_EQ(d->PortDCB.XonLim, 409);
  EXPECT_EQ(d->PortDCB.XonChar, 1);
  EXPECT_FALSE(d->RS485Mode);

  // Open, an unchanged value is not written again; a changed one is at once.
  const int writes = d->Fake().SetStateCalls();
  port.SetHWFlowOptions({hwfUseDTR, hwfUseRTS});
  EXPECT_EQ(d->Fake().SetStateCalls(), writes);
  port.SetBufferFull(2000);
  EXPECT_EQ(d->PortDCB.XoffLim, 4096 - 2000);
  port.SetBaud(9600);
  EXPECT_EQ(d->CurrentBaud, 9600u);
}

TEST_F(PortSettings, TracingArmedWhileClosedRecordsFromTheOpenAndIsDumpedByTheClose) {
  port.SetTracing(tlOn);
  port.TraceName = ::testing::TempDir() + "port_settings.trc";
  std::remove(port.TraceName.c_str());
  Open();
  EXPECT_TRUE(d->TracingOn);
  port.PutString("AT");
  port.SetOpen(false);
  EXPECT_EQ(port.Tracing(), tlOff);
  FILE* f = std::fopen(port.TraceName.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::remove(port.TraceName.c_str());
}

TEST_F(PortSettings, AClosedPortOpensForItsModemStatusOnlyWhenItMayOpenOnUse) {
  port.AutoOpen = false;
  EXPECT_EQ(CodeOf([&] { port.GetModemStatus(); }), ecCommNotOpen);
  EXPECT_FALSE(port.Open());
  port.AutoOpen = true;
  port.GetModemStatus();
  EXPECT_TRUE(port.Open());
}

}  // namespace
