// What a line of the modem is: a final result (each row of the table, in either
// case), a start-up line, a notice that carries a PDU, or none of these.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "server/modem/modem_lines.h"

namespace {

TEST(ModemLine, IsKnownByTheTablesWhateverItsCase) {
  enum Kind { Ok, Error, StartUp, Notice, Other };
  struct Case {
    std::string line;
    Kind kind;
  };
  const Case cases[] = {
      {"OK", Ok},
      {"ok", Ok},
      {"ERROR", Error},
      {"Error", Error},
      {"NO CARRIER", Error},
      {"BUSY", Error},
      {"NO ANSWER", Error},  // a result, not the time running out
      {"NO DIALTONE", Error},
      {"+CMS ERROR: 500", Error},
      {"+cms error: 304", Error},
      {"+CME ERROR: 10", Error},
      {"COMMAND NOT SUPPORT", Error},
      {"Command not supported", Error},
      {"TOO MANY PARAMETERS", Error},
      {"RDY", StartUp},
      {"+CFUN: 1", StartUp},
      {"+CPIN: READY", StartUp},
      {"SMS Ready", StartUp},
      {"SMS READY", StartUp},
      {"Call Ready", StartUp},
      {"^SYSSTART", StartUp},
      {"+CMT: ,24", Notice},
      {"+cmt: \"\",24", Notice},
      {"+CDS: 25", Notice},
      {"OKAY", Other},
      {"ERRORS", Other},
      {"^BOOT:20131123,0,0,0,6", Other},  // repeated as a status line by some modems
      {"+CMTI: \"SM\",3", Other},
      {"+CDSI: \"SM\",3", Other},
      {"RING", Other},
      {"+CMGS: 12", Other},
      {"+CFUN: 0", Other},
      {"0791AB", Other},
  };
  for (const Case& c : cases) {
    const std::optional<ModemResult> result = FinalResult(c.line);
    EXPECT_EQ(result == ModemResult::Ok, c.kind == Ok) << c.line;
    EXPECT_EQ(result == ModemResult::Error, c.kind == Error) << c.line;
    EXPECT_EQ(StartUpLine(c.line), c.kind == StartUp) << c.line;
    EXPECT_EQ(PduNotice(c.line), c.kind == Notice) << c.line;
  }
}

}  // namespace
