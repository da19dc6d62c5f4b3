// The simulator's log as a person reads it, with the server's own dialogue as
// the modem's computer: idle polls after the first are counted, not shown, and
// everything else is shown whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com_port_names.h"
#include "serial/port/com_port.h"
#include "server/modem/modem_dialogue.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_dir.h"
#include "tools/modem_sim/modem_sim.h"
#include "tools/modem_sim/poll_log_filter.h"

namespace {

const std::string kHi = "00110005812143F50000FF02C834";  // "Hi" to 12345

TEST(PollLogFilter, ShowsTheFirstIdlePollAndCountsTheRestBeforeWhatComesNext) {
  TempDir dir;
  ModemSim sim;
  sim.Store({"+79161234567", "waiting", {}});
  sim.Start();
  SetComRegistryFile(dir.File("registry.reg"));
  RegisterComPort(dir.File("registry.reg"), 5, sim.DevicePath());
  TDevaComPort port{nullptr};
  port.AutoOpen = false;
  port.SetComNumber(5);
  ServerState state(dir.path());
  ModemDialogue dialogue{port, state};

  // The log's length after each step, as the worker takes them.
  std::vector<std::size_t> after;
  const auto poll = [&] {
    ASSERT_TRUE(dialogue.ModemReady());
    dialogue.ReadStoredMessages("\"SM\"");
    after.push_back(sim.Log().size());
  };
  poll();  // takes the waiting message
  ASSERT_EQ(state.IncomingQueue.Count(), 1u);
  poll();  // idle, shown
  poll();  // idle
  poll();  // idle
  ASSERT_TRUE(dialogue.ModemReady());
  ASSERT_TRUE(dialogue.SendPdu(kHi));
  state.StopFlag = true;
  dialogue.ClosePort();
  SetComRegistryFile("");
  sim.Stop();

  const std::vector<std::string> log = sim.Log();
  PollLogFilter filter;
  std::vector<std::string> shown;
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < log.size(); ++i) {
    const std::string stamp = "t" + std::to_string(i);
    for (std::string& line : filter.Take(stamp, log[i])) shown.push_back(std::move(line));
    if (i < after[1] || i >= after[3]) expected.push_back(stamp + " " + log[i]);
    if (i + 1 == after[1]) expected.push_back(stamp + "   (an idle poll: nothing on the SIM; later ones are counted, not shown)");
    if (i + 1 == after[3]) expected.push_back(stamp + "   (2 more idle polls not shown, the last ending here)");
  }
  EXPECT_TRUE(filter.Finish().empty());
  EXPECT_EQ(shown, expected);
}

// What is held while it may yet be an idle poll comes out at the end of the run,
// and so does the count of polls not shown.
TEST(PollLogFilter, TheEndReleasesWhatIsHeld) {
  PollLogFilter filter;
  const std::vector<std::string> idlePoll = {"< AT",     "> OK", "< AT+CPMS=\"SM\"", "> +CPMS: 0,30,0,30,0,30",
                                             "> OK",     "< AT+CMGL=4", "> OK"};
  for (int i = 0; i < 2; ++i)
    for (const std::string& entry : idlePoll) filter.Take("t", entry);
  EXPECT_TRUE(filter.Take("u", "< AT").empty());
  EXPECT_TRUE(filter.Take("u", "> OK").empty());
  EXPECT_EQ(filter.Finish(), (std::vector<std::string>{"t   (1 more idle poll not shown, the last ending here)",
                                                       "u < AT", "u > OK"}));
  EXPECT_TRUE(filter.Finish().empty());
}

}  // namespace
