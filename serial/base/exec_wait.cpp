#include "serial/base/exec_wait.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {
constexpr std::size_t kMaxCommandLine = 511;
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> args;
  std::string cur;
  bool in_arg = false;
  bool quoted = false;
  for (std::size_t i = 0; i < command_line.size(); ++i) {
    const char c = command_line[i];
    if (c == '\\' && i + 1 < command_line.size() && command_line[i + 1] == '"') {
      cur += '"';
      in_arg = true;
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
      in_arg = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (in_arg) args.push_back(std::move(cur));
      cur.clear();
      in_arg = false;
    } else {
      cur += c;
      in_arg = true;
    }
  }
  if (in_arg) args.push_back(std::move(cur));
  return args;
}

std::int32_t ApWinExecAndWait32(const char* file_name, const char* command_line, int visibility) {
  (void)visibility;
  std::string line = file_name != nullptr ? file_name : "";
  if (command_line != nullptr) line += command_line;
  if (line.size() > kMaxCommandLine) line.resize(kMaxCommandLine);
  const std::vector<std::string> args = SplitCommandLine(line);
  if (args.empty()) return -1;

  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  // Ended by a signal: reported as the shells do.
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}
