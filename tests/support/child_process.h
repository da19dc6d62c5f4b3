#pragma once
// A program run as a child process, as a user or a service manager starts it:
// with an environment of the test's making, its standard error where the test
// wants it, and its own soft limit on open files.
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

struct ChildEnvironment {
  std::vector<std::string> set;   // "NAME=value", in place of what the test has
  std::vector<std::string> drop;  // names of the test's variables the child goes without
  rlim_t openFiles = 0;           // the child's soft limit on open files; 0: the test's
};

// Starts `program` with no arguments; its pid. The environment is made before
// the fork, so the child only sets its limit and execs.
pid_t StartChild(const std::string& program, const ChildEnvironment& environment, int stderrFd);

// Waits for the child to end; its exit status, or -1 when it did not end in time
// (it is then killed) or ended by a signal.
int WaitForExit(pid_t pid);
