#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <type_traits>

#include "serial/base/deva_exceptions.h"
#include "serial/base/result_codes.h"
#include "tests/serial/port/port_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using PortSettings = FakePort;

// A value as text, so that settings of every type fit one table.
template <typename T>
std::string Shown(const T& value) {
  if constexpr (std::is_convertible_v<T, std::string>)
    return std::string(value);
  else if constexpr (std::is_same_v<T, THWFlowOptionSet> || std::is_same_v<T, TDeviceLayers>)
    return std::to_string(value.Bits());
  else
    return std::to_string(static_cast<long long>(value));
}

TEST_F(PortSettings, ANewPortHasItsDefaultsAndClosedValues) {
  TDevaComPort p(nullptr);
  struct Row {
    const char* what;
    std::string value, expected;
  };
  const Row rows[] = {
      {"DeviceLayer", Shown(p.DeviceLayer()), Shown(dlWin32)},
      {"ComNumber", Shown(p.ComNumber()), Shown(0)},
      {"Baud", Shown(p.Baud()), Shown(19200)},
      {"PromptForPort", Shown(p.PromptForPort), Shown(true)},
      {"Parity", Shown(p.Parity()), Shown(pNone)},
      {"DataBits", Shown(p.DataBits()), Shown(8)},
      {"StopBits", Shown(p.StopBits()), Shown(1)},
      {"InSize", Shown(p.InSize()), Shown(4096)},
      {"OutSize", Shown(p.OutSize()), Shown(4096)},
      {"AutoOpen", Shown(p.AutoOpen), Shown(true)},
      {"Open", Shown(p.Open()), Shown(false)},
      {"DTR", Shown(p.DTR()), Shown(true)},
      {"RTS", Shown(p.RTS()), Shown(true)},
      {"HWFlowOptions", Shown(p.HWFlowOptions()), Shown(THWFlowOptionSet{})},
      {"SWFlowOptions", Shown(p.SWFlowOptions()), Shown(swfNone)},
      {"XOnChar", Shown(p.XOnChar()), Shown(17)},
      {"XOffChar", Shown(p.XOffChar()), Shown(19)},
      {"BufferFull", Shown(p.BufferFull()), Shown(0)},
      {"BufferResume", Shown(p.BufferResume()), Shown(0)},
      {"Tracing", Shown(p.Tracing()), Shown(tlOff)},
      {"TraceSize", Shown(p.TraceSize()), Shown(10000)},
      {"TraceName", Shown(p.TraceName), "DEVA.TRC"},
      {"TraceHex", Shown(p.TraceHex), Shown(true)},
      {"TraceAllHex", Shown(p.TraceAllHex), Shown(false)},
      {"Logging", Shown(p.Logging()), Shown(tlOff)},
      {"LogSize", Shown(p.LogSize()), Shown(10000)},
      {"LogName", Shown(p.LogName), "DEVA.LOG"},
      {"LogHex", Shown(p.LogHex), Shown(true)},
      {"LogAllHex", Shown(p.LogAllHex), Shown(false)},
      {"UseMSRShadow", Shown(p.UseMSRShadow()), Shown(true)},
      {"UseEventWord", Shown(p.UseEventWord()), Shown(true)},
      {"CommNotificationLevel", Shown(p.CommNotificationLevel()), Shown(10)},
      {"TapiMode", Shown(p.TapiMode), Shown(tmAuto)},
      {"RS485Mode", Shown(p.RS485Mode()), Shown(false)},
      {"OnPortOpen assigned", Shown(static_cast<bool>(p.OnPortOpen)), Shown(false)},
      {"OnPortClose assigned", Shown(static_cast<bool>(p.OnPortClose)), Shown(false)},
      {"Version", p.Version(), "v4.07"},
      // Not published.
      {"ThreadBoost", Shown(p.ThreadBoost()), Shown(tbNone)},
      {"TriggerLength", Shown(p.TriggerLength()), Shown(1)},
      {"ActivationProcedure set", Shown(static_cast<bool>(p.ActivationProcedure)), Shown(false)},
      {"OnWaitChar assigned", Shown(static_cast<bool>(p.OnWaitChar)), Shown(false)},
      {"AllowedDeviceLayers", Shown(p.AllowedDeviceLayers), Shown(TDeviceLayers{dlWin32})},
      // Read while closed.
      {"PortState", Shown(p.PortState()), Shown(psClosed)},
      {"GetDSR", Shown(p.GetDSR()), Shown(false)},
      {"GetCTS", Shown(p.GetCTS()), Shown(false)},
      {"GetRI", Shown(p.GetRI()), Shown(false)},
      {"GetDCD", Shown(p.GetDCD()), Shown(false)},
      {"GetDeltaDSR", Shown(p.GetDeltaDSR()), Shown(false)},
      {"GetDeltaCTS", Shown(p.GetDeltaCTS()), Shown(false)},
      {"GetDeltaRI", Shown(p.GetDeltaRI()), Shown(false)},
      {"GetDeltaDCD", Shown(p.GetDeltaDCD()), Shown(false)},
      {"GetLineError", Shown(p.GetLineError()), Shown(0)},
      {"GetLineBreak", Shown(p.GetLineBreak()), Shown(false)},
      {"GetInBuffUsed", Shown(p.GetInBuffUsed()), Shown(0)},
      {"GetInBuffFree", Shown(p.GetInBuffFree()), Shown(8192)},
      {"GetOutBuffUsed", Shown(p.GetOutBuffUsed()), Shown(0)},
      {"GetOutBuffFree", Shown(p.GetOutBuffFree()), Shown(4096)},
      {"GetBaseAddress", Shown(p.GetBaseAddress()), Shown(0)},
  };
  for (const Row& row : rows) EXPECT_EQ(row.value, row.expected) << row.what;
  EXPECT_FALSE(p.Open());  // none of these opened the port

  // No trigger event is assigned either: the open asks for no notification.
  Open();
  EXPECT_FALSE(d->PortHandlerPresent);
}

TEST_F(PortSettings, AClosedPortStoresOnlyWhatItsSettersAllow) {
  TDevaComPort fresh(nullptr);
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

TEST_F(PortSettings, AFailedDumpAtTheCloseLosesNotTheOtherAndIsRaisedOnceClosed) {
  const TempDir dir;
  const std::string unwritable = dir.File("no such folder/file");
  const std::pair<bool, bool> cases[] = {{true, false}, {false, true}, {true, true}, {false, false}};
  for (const auto& [traceFails, logFails] : cases) {
    TTestDispatcher* latest = nullptr;
    TDevaComPort p(nullptr);
    p.SetComNumber(1);
    OpenOnFakes(p, latest);
    p.TraceName = traceFails ? unwritable : dir.File("close.trc");
    p.LogName = logFails ? unwritable : dir.File("close.log");
    std::filesystem::remove(dir.File("close.trc"));
    std::filesystem::remove(dir.File("close.log"));
    p.SetTracing(tlOn);
    p.SetLogging(tlOn);
    ASSERT_NO_THROW(p.SetOpen(true));
    ASSERT_TRUE(latest->TracingOn && latest->DLoggingOn);
    p.PutString("AT");
    const std::int32_t code = CodeOf([&] { p.SetOpen(false); });
    const std::string what = std::string("trace ") + (traceFails ? "fails" : "written") + ", log " +
                             (logFails ? "fails" : "written");
    EXPECT_EQ(code != 0, traceFails || logFails) << what;
    EXPECT_EQ(std::filesystem::exists(dir.File("close.trc")), !traceFails) << what;
    EXPECT_EQ(std::filesystem::exists(dir.File("close.log")), !logFails) << what;
    EXPECT_FALSE(p.Open()) << what;
    EXPECT_EQ(p.PortState(), psClosed) << what;
  }
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
