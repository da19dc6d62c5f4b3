#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/errno_map.h"
#include "platform/last_error.h"
#include "platform/message_window.h"
#include "serial/base/result_codes.h"
#include "serial/port/port_selection.h"
#include "tests/serial/port/port_fixture.h"
#include "tests/support/message_box_answers.h"
#include "tests/support/wait_until.h"

namespace {

using PortOpenClose = FakePort;

// Its open fails as a device open does that meets the system error given
// (none: the memory for the port ran out).
class TRefusingDispatcher final : public TDevaWin32Dispatcher {
 public:
  TRefusingDispatcher(TComponent* Owner, int sysError) : TDevaWin32Dispatcher(Owner), error_(sysError) {}
  ~TRefusingDispatcher() override { ReleaseBeforeDestroy(); }
  std::int32_t OpenCom(const char*, std::uint32_t, std::uint32_t) override {
    if (error_ == 0) return ecOutOfMemory;
    SetLastSysError(error_);
    return -1;
  }

 private:
  int error_;
};

void RefuseWith(TDevaCustomComPort& port, int sysError) {
  port.ActivationProcedure = [sysError](TDevaCustomComPort& p) {
    return std::unique_ptr<TDevaBaseDispatcher>(std::make_unique<TRefusingDispatcher>(&p, sysError));
  };
}

TEST_F(PortOpenClose, AFailedOpenRaisesItsCodeAndLeavesThePortClosed) {
  const struct {
    const char* what;
    std::function<void(TDevaCustomComPort&)> setup;
    std::int32_t code;
  } cases[] = {
      {"no such device", [](auto& p) { RefuseWith(p, kSysFileNotFound); }, ecBadId},
      {"no such path", [](auto& p) { RefuseWith(p, kSysPathNotFound); }, ecBadId},
      {"held by another program", [](auto& p) { RefuseWith(p, kSysSharingViolation); }, ecAlreadyOpen},
      {"not allowed to this user", [](auto& p) { RefuseWith(p, kSysAccessDenied); }, ecAccessDenied},
      {"a device failure", [](auto& p) { RefuseWith(p, kSysGenFailure); }, -kSysGenFailure},
      {"out of memory", [](auto& p) { RefuseWith(p, 0); }, ecOutOfMemory},
      {"no port and no prompt",
       [](auto& p) {
         p.SetComNumber(0);
         p.PromptForPort = false;
       },
       ecNoPortSelected},
      {"no device layer",
       [](auto& p) {
         p.ActivationProcedure = nullptr;
         p.AllowedDeviceLayers = {dlWin32, dlWinsock};
         p.SetDeviceLayer(dlWinsock);
       },
       ecNullApi},
      {"a line not handed over",
       [](auto& p) {
         p.ActivationProcedure = nullptr;
         p.TapiMode = tmOn;
       },
       ecNotOpenedByTapi},
  };
  for (const auto& c : cases) {
    TDevaComPort p(nullptr);
    p.SetComNumber(4);
    c.setup(p);
    EXPECT_EQ(CodeOf([&] { p.SetOpen(true); }), c.code) << c.what;
    EXPECT_EQ(p.PortState(), psClosed) << c.what;
    EXPECT_FALSE(p.Open()) << c.what;
    p.AutoOpen = false;
    EXPECT_EQ(p.GetDispatcher(), nullptr) << c.what;
  }
}

TEST_F(PortOpenClose, WithoutANumberThePortAsksForOneAndACancelledChoiceFailsTheOpen) {
  const struct {
    const char* what;
    std::uint16_t number;
    bool prompt;
    std::optional<std::optional<unsigned>> answer;  // none: no dialog at all
    std::int32_t code;
    std::uint16_t numberAfter;
    int asked;
  } cases[] = {
      {"a number set", 3, true, std::optional<unsigned>(4), 0, 3, 0},
      {"no prompt", 0, false, std::optional<unsigned>(4), ecNoPortSelected, 0, 0},
      {"no dialog", 0, true, std::nullopt, ecNoPortSelected, 0, 0},
      {"cancelled", 0, true, std::optional<unsigned>(), ecNoPortSelected, 0, 1},
      {"COM4 chosen", 0, true, std::optional<unsigned>(4), 0, 4, 1},
      {"OK with nothing to choose", 0, true, std::optional<unsigned>(0), ecNoPortSelected, 0, 1},
  };
  for (const auto& c : cases) {
    TTestDispatcher* latest = nullptr;
    TDevaComPort p(nullptr);
    OpenOnFakes(p, latest);
    p.SetComNumber(c.number);
    p.PromptForPort = c.prompt;
    int asked = 0;
    PortSelectionProvider provider;
    if (c.answer) provider = [&] {
      ++asked;
      return *c.answer;
    };
    const PortSelectionProvider before = SetPortSelectionProvider(provider);
    EXPECT_EQ(CodeOf([&] { p.SetOpen(true); }), c.code) << c.what;
    SetPortSelectionProvider(before);
    EXPECT_EQ(p.ComNumber(), c.numberAfter) << c.what;
    EXPECT_EQ(asked, c.asked) << c.what;
    if (c.code == 0) {
      EXPECT_EQ(latest->DeviceName, "\\\\.\\" + ComName(c.numberAfter)) << c.what;
    }
  }
}

TEST_F(PortOpenClose, AnOpenUndoneByAFailingUserTakesItsWindowAlong) {
  WindowHandle window = 0;
  port.OnPortOpen = [&](TDevaCustomComPort* cp) {
    window = cp->NotificationWindow();
    throw std::runtime_error("refused by a user");
  };
  EXPECT_THROW(port.SetOpen(true), std::runtime_error);
  ASSERT_NE(window, 0u);
  EXPECT_FALSE(IsMessageWindow(window));
  EXPECT_EQ(port.NotificationWindow(), 0u);
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_FALSE(port.Open());
}

TEST_F(PortOpenClose, AClosePerformedInAHandlerCompletesOnThePortsNextMessage) {
  int closes = 0;
  port.OnPortClose = [&](TDevaCustomComPort*) { ++closes; };
  port.SetOnTriggerAvail([&](TDevaCustomComPort* cp, std::uint16_t) {
    cp->SetOpen(false);
    // The notification still holds the dispatcher: the close waits for it,
    // and meanwhile the port answers neutrally.
    EXPECT_EQ(cp->PortState(), psShuttingDown);
    EXPECT_TRUE(cp->Open());
    EXPECT_FALSE(cp->CharReady());
    EXPECT_EQ(cp->GetChar(), '\0');
    EXPECT_FALSE(cp->WaitForString("ab", 10, false, false));
    EXPECT_EQ(cp->WaitForMultiString("a|b", 10, false, false, '|'), 0);
    EXPECT_NO_THROW(cp->PutString("x"));
  });
  Open();
  d->Receive("ab");
  d->SendNotify(kNotifyAvail, 2, 0);
  EXPECT_EQ(port.PortState(), psShuttingDown);
  EXPECT_EQ(closes, 1);
  ProcessWindowMessages();
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.NotificationWindow(), 0u);
}

TEST_F(PortOpenClose, APortFreedWithItsCloseUnfinishedCompletesItFirst) {
  auto owned = std::make_unique<TDevaComPort>(nullptr);
  TTestDispatcher* latest = nullptr;
  owned->SetComNumber(1);
  OpenOnFakes(*owned, latest);
  owned->SetOnTriggerAvail([](TDevaCustomComPort* cp, std::uint16_t) { cp->SetOpen(false); });
  owned->SetOpen(true);
  const WindowHandle window = owned->NotificationWindow();
  latest->Receive("a");
  latest->SendNotify(kNotifyAvail, 1, 0);
  ASSERT_EQ(owned->PortState(), psShuttingDown);
  owned.reset();
  EXPECT_FALSE(IsMessageWindow(window));
  ProcessWindowMessages();  // nothing is left to reach the freed port
}

TEST_F(PortOpenClose, ANewNumberReopensThePortWithItsTriggersAlsoWhenTheCloseCompletesLater) {
  Open();
  const std::int32_t trigger = port.AddDataTrigger("OK", true);
  port.SetComNumber(7);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(d->DeviceName, "\\\\.\\COM7");
  ASSERT_EQ(d->DataTriggerList.size(), 1u);
  EXPECT_EQ(d->DataTriggerList[0]->Handle, static_cast<std::uint32_t>(trigger));

  // Changed inside a handler, the close completes later and the open follows it.
  port.SetOnTriggerAvail([](TDevaCustomComPort* cp, std::uint16_t) { cp->SetComNumber(8); });
  d->Receive("a");
  d->SendNotify(kNotifyAvail, 1, 0);
  EXPECT_EQ(port.PortState(), psShuttingDown);
  ProcessWindowMessages();
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.PortState(), psOpen);
  EXPECT_EQ(d->DeviceName, "\\\\.\\COM8");
  EXPECT_EQ(d->DataTriggerList.size(), 1u);
}

TEST_F(PortOpenClose, AssignClosesAnOpenTargetAndCarriesTheSettingsAndTriggersOfAnOpenSource) {
  Open();
  port.SetBaud(115200);
  port.SetHWFlowOptions({hwfUseDTR, hwfUseRTS});
  const std::int32_t trigger = port.AddDataTrigger("OK", true);

  TTestDispatcher* targetD = nullptr;
  TDevaComPort target(nullptr);
  target.SetComNumber(2);
  OpenOnFakes(target, targetD);
  target.SetOpen(true);
  target.Assign(port);
  EXPECT_FALSE(target.Open());
  EXPECT_EQ(target.PortState(), psClosed);  // not left running
  EXPECT_EQ(target.ComNumber(), 1);
  EXPECT_EQ(target.Baud(), 115200);
  EXPECT_EQ(target.HWFlowOptions(), (THWFlowOptionSet{hwfUseDTR, hwfUseRTS}));
  EXPECT_TRUE(port.Open());  // the source goes on

  target.SetOpen(true);
  ASSERT_EQ(targetD->DataTriggerList.size(), 1u);
  EXPECT_EQ(targetD->DataTriggerList[0]->Handle, static_cast<std::uint32_t>(trigger));
}

struct Told {
  std::vector<std::string> what;
  static void Plain(void* self, TDevaCustomComPort*, bool opening) {
    static_cast<Told*>(self)->what.push_back(opening ? "callback open" : "callback closed");
  }
  static void Ex(void* self, TDevaCustomComPort*, TDevaCallbackType type) {
    static const char* const names[] = {"ex open", "ex closing", "ex closed"};
    static_cast<Told*>(self)->what.push_back(names[type]);
  }
};

TEST_F(PortOpenClose, UsersAreToldFromTheLastRegisteredToTheFirstThenTheEvents) {
  Told told;
  const auto windowUser = [&](const char* name) {
    return CreateMessageWindow([&told, name](WindowHandle, std::uint32_t m, std::uintptr_t, std::intptr_t) {
      told.what.push_back(std::string(name) + (m == kPortOpenMessage     ? " open"
                                               : m == kPortClosingMessage ? " closing"
                                                                          : " closed"));
      return std::intptr_t{0};
    });
  };
  const WindowHandle plain = windowUser("window");
  const WindowHandle ex = windowUser("ex window");
  port.RegisterUser(plain);
  port.RegisterUserCallback({&Told::Plain, &told});
  port.RegisterUserCallbackEx({&Told::Ex, &told});
  port.RegisterUserEx(ex);
  port.OnPortOpen = [&](TDevaCustomComPort*) { told.what.push_back("OnPortOpen"); };
  port.OnPortClose = [&](TDevaCustomComPort*) { told.what.push_back("OnPortClose"); };
  Open();
  port.SetOpen(false);
  EXPECT_EQ(told.what, (std::vector<std::string>{
                           "ex window open", "ex open", "callback open", "window open", "OnPortOpen",
                           "ex window closing", "ex closing",
                           "ex window closed", "ex closed", "callback closed", "window closed", "OnPortClose"}));

  // Deregistered by the method alone: another object's registration of it goes too.
  Told other;
  port.RegisterUserCallback({&Told::Plain, &other});
  port.DeregisterUserCallback({&Told::Plain, nullptr});
  port.DeregisterUser(plain);
  port.DeregisterUser(ex);
  port.DeregisterUserCallbackEx({&Told::Ex, nullptr});
  told.what.clear();
  Open();
  EXPECT_EQ(told.what, std::vector<std::string>{"OnPortOpen"});
  EXPECT_TRUE(other.what.empty());
  port.OnPortOpen = port.OnPortClose = nullptr;  // they outlive what they record into
  DestroyMessageWindow(plain);
  DestroyMessageWindow(ex);
}

TEST_F(PortOpenClose, APortLoadedOpenOpensOnceLoadedAndAFailureThereIsShown) {
  MessageBoxAnswers boxes;
  port.Loading();
  port.SetOpen(true);
  EXPECT_EQ(port.PortState(), psClosed);  // not while it is being loaded
  port.Loaded();
  EXPECT_EQ(port.PortState(), psOpen);

  TDevaComPort failing(nullptr);
  failing.PromptForPort = false;  // and no number
  failing.Loading();
  failing.SetOpen(true);
  EXPECT_NO_THROW(failing.Loaded());
  EXPECT_FALSE(failing.Open());
  ASSERT_EQ(boxes.Asked().size(), 1u);
  EXPECT_EQ(boxes.Asked()[0].icon, MbIcon::Error);
}

TEST_F(PortOpenClose, AYieldingWaitServesTheMessagesOfItsThreadMeanwhile) {
  Open();
  const WindowHandle w = CreateMessageWindow([&](WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) {
    d->Receive("OK");
    return std::intptr_t{0};
  });
  std::thread poster([&] {
    WaitUntil([&] { return d->EventBusy.load(); });  // the wait has begun
    PostWindowMessage(w, 0x0400, 0, 0);
  });
  EXPECT_TRUE(port.WaitForString("OK", 1000, true, true));
  poster.join();
  DestroyMessageWindow(w);
}

TEST_F(PortOpenClose, OpeningAnOpenPortOrClosingAClosedOneDoesNothing) {
  int events = 0;
  port.OnPortOpen = port.OnPortClose = [&](TDevaCustomComPort*) { ++events; };
  port.SetOpen(false);
  Open();
  TTestDispatcher* first = d;
  port.SetOpen(true);
  EXPECT_EQ(d, first);
  EXPECT_EQ(events, 1);
  port.OnPortOpen = port.OnPortClose = nullptr;
}

}  // namespace
