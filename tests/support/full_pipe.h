#pragma once
// A pipe whose write end is full and blocking: standard error as a service
// manager leaves it when it stops reading. Writing to it blocks until the read
// end is read.
struct FullPipe {
  FullPipe();   // both ends open; -1 each when the pipe could not be made
  ~FullPipe();  // closes what is still open
  FullPipe(const FullPipe&) = delete;
  FullPipe& operator=(const FullPipe&) = delete;

  void CloseRead();
  void CloseWrite();

  int read = -1;
  int write = -1;
};
