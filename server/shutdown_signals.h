#pragma once
// Terminate, interrupt and hang-up signals (system shutdown, Ctrl-C, a service
// manager stopping the server, its terminal closing) must run the same orderly
// close as the menu, so the queues are saved. The handlers only write a byte to a
// pipe; the program watches the pipe's read end in its event loop.
class ShutdownSignals {
 public:
  ShutdownSignals();   // installs the handlers; one object at a time
  ~ShutdownSignals();  // restores the previous handlers
  ShutdownSignals(const ShutdownSignals&) = delete;
  ShutdownSignals& operator=(const ShutdownSignals&) = delete;

  // Readable once a signal has come. -1 when the pipe could not be made.
  int fd() const { return readFd_; }
  // True when a signal came since the last call; empties the pipe.
  bool Take();

 private:
  int readFd_ = -1;
};
