#pragma once
// How long the modem dialogue waits for each answer, in ticks of 55 ms. Every
// wait is bounded in total, also while the modem keeps talking; tests shorten
// them to see a wait end without sitting it out.
struct ModemLimits {
  int reply = 100;          // a command's final result: about 5.5 s
  int prompt = 1000;        // the prompt for a PDU: about 55 s
  int sent = 3277;          // the answer once the modem has a PDU: about 3 minutes
  int remove = 546;         // a delete's answer: about 30 s
  int listingQuiet = 1092;  // a listing that brings none of its lines: about a minute
  int listing = 10923;      // a whole listing: about 10 minutes
  // The other "AT"'s answer, after the first came: this long more than twice
  // the time the first took, about 0.55 s.
  int otherAt = 10;
  // What a stop lets the modem finish (a part's confirmation, the delete of a
  // message taken from the SIM): about 10 s.
  int finishOnStop = 182;
};
