// The README's command that turns a user's password into the registry's value,
// run as a person runs it, and the login taking what it printed.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/codepage.h"
#include "platform/file_io.h"
#include "platform/text_lines.h"
#include "server/clients/check_user.h"
#include "tests/server/loopback_client.h"
#include "tests/support/temp_dir.h"

namespace {

// The README's one line: the one that sets u= and p= and calls iconv.
std::string ReadmeLine() {
  const std::string readme = ReadWholeFile(README_PATH).value_or("");
  for (const std::string& line : SplitLines(readme).lines)
    if (line.starts_with("u='") && line.find("iconv") != std::string::npos) return line;
  return "";
}

struct Ran {
  int status = -1;
  std::string out;
};

// bash -c script, with $1 and $2 as given; what it wrote on standard output.
Ran RunBash(const std::string& script, const std::vector<std::string>& args = {}) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  std::vector<std::string> argv = {"bash", "-c", script, "line"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argp;
  for (std::string& a : argv) argp.push_back(a.data());
  argp.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execvp("bash", argp.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  Ran ran;
  char buf[256];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) ran.out.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return ran;
}

bool LogsIn(const std::string& registry, const std::string& user, const std::string& password) {
  packet answer = TypedPacket(kPacketLogin);
  PacketSetNumber(answer, user);
  PacketSetText(answer, Ansi(password));
  return CheckUser(answer, registry);
}

TEST(PasswordLine, PrintsTheReadmesExampleAsWritten) {
  const std::string line = ReadmeLine();
  ASSERT_FALSE(line.empty()) << "no such line in " << README_PATH;
  const Ran ran = RunBash(line);
  EXPECT_EQ(ran.status, 0);
  EXPECT_EQ(ran.out, "\"operator\"=hex:03,03,00,41,4e,5d,b2\n");
}

// Each password as the user types it (UTF-8) and as the client sends it (Windows-1251).
TEST(PasswordLine, WhatItPrintsTheLoginTakes) {
  const std::string line = ReadmeLine();
  ASSERT_FALSE(line.empty()) << "no such line in " << README_PATH;
  // The same line with the name and the password as arguments.
  const std::string script = "u=$1 p=$2" + line.substr(line.find(';'));
  struct Case {
    const char* user;
    const char* password;
    const char* wrong;  // a password that must not log in
  };
  const Case cases[] = {
      {"ivan", "Secret1", "secret1"},
      {"kassa", "pass", "pas"},  // its first enciphered byte is zero
      {"anna", "Пароль-2026", "Пароль-202"},
      {"full", "Trelm-2026-operator-pass!", "Trelm-2026-operator-pass"},  // 25 bytes, the most there is
      {"empty", "", "x"},
  };
  TempDir dir;
  const std::string registry = dir.File("registry.reg");
  std::string file = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trelm\\SMSConfig\\Server\\Users]\n";
  for (const Case& c : cases) {
    const Ran ran = RunBash(script, {c.user, c.password});
    EXPECT_EQ(ran.status, 0) << c.user;
    file += ran.out;
  }
  ASSERT_TRUE(WriteFileAtomically(registry, file));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    EXPECT_TRUE(LogsIn(registry, c.user, c.password));
    EXPECT_FALSE(LogsIn(registry, c.user, c.wrong));
  }
}

// What the server could never take prints no value, and says why.
TEST(PasswordLine, RefusesWhatTheServerCannotTake) {
  const std::string line = ReadmeLine();
  ASSERT_FALSE(line.empty()) << "no such line in " << README_PATH;
  const std::string script = "u=$1 p=$2" + line.substr(line.find(';'));
  for (const char* password : {"Trelm-2026-operator-pass!!",  // 26 bytes
                               "Пароль-✓"}) {                // not in Windows-1251
    SCOPED_TRACE(password);
    const Ran ran = RunBash(script, {"ivan", password});
    EXPECT_NE(ran.status, 0);
    EXPECT_EQ(ran.out, "");
  }
}

}  // namespace
