#include "tests/support/full_pipe.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

FullPipe::FullPipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return;
  read = fds[0];
  write = fds[1];
  ::fcntl(write, F_SETFL, O_NONBLOCK);
  const std::string block(4096, '.');
  while (::write(write, block.data(), block.size()) > 0) {
  }
  ::fcntl(write, F_SETFL, 0);
}

FullPipe::~FullPipe() {
  CloseRead();
  CloseWrite();
}

void FullPipe::CloseRead() {
  if (read >= 0) ::close(read);
  read = -1;
}

void FullPipe::CloseWrite() {
  if (write >= 0) ::close(write);
  write = -1;
}
