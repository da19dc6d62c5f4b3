#include "tests/support/child_process.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/wait_until.h"

pid_t StartChild(const std::string& program, const ChildEnvironment& environment, int stderrFd) {
  std::vector<std::string> env = environment.set;
  const auto replaced = [&](std::string_view entry) {
    const std::string_view name = entry.substr(0, entry.find('='));
    const auto named = [&](std::string_view other) { return other.substr(0, other.find('=')) == name; };
    return std::any_of(environment.set.begin(), environment.set.end(), named) ||
           std::any_of(environment.drop.begin(), environment.drop.end(), named);
  };
  for (char** e = environ; *e; ++e)
    if (!replaced(*e)) env.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::dup2(stderrFd, STDERR_FILENO) < 0) ::_exit(126);
    rlimit limit{};
    if (environment.openFiles != 0 && ::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
      limit.rlim_cur = environment.openFiles;
      if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(126);
    }
    ::execve(program.c_str(), argv, envp.data());
    ::_exit(127);
  }
  return pid;
}

int WaitForExit(pid_t pid) {
  int status = 0;
  const bool ended = WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(30));
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
