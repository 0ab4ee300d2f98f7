// Runs the tool as scripts see it: arguments and environment in; standard output, standard
// error and exit status out. The environment picks the build, so that CTest runs the same
// tables on every build: QX_TICKER, the binary (this build's by default), whose clock reads
// QX_TEST_NOW from the test clock (tests/testclock.cpp) in QX_PRELOAD or linked in; QX_EMULATOR,
// qemu-user and its options, found on PATH.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "qx_version.h"

namespace qx_test {

using Strings = std::vector<std::string>;

struct Result {
  std::string out, err;
  int status;  // The exit status, or 1000 + the signal that ended the run.
  bool operator==(const Result&) const = default;
};

// A failed comparison shows both runs as text, so that a build machine's log says what the tool
// printed, not a dump of the object's bytes.
inline void PrintTo(const Result& r, std::ostream* os) {
  *os << "\nstatus " << r.status << "\n--- stdout ---\n" << r.out << "--- stderr ---\n" << r.err;
}

// The two lines that every run starts with.
const std::string kBanner =
    "________________________________ qxConsoleTicker __________________________________\n"
    "   " QX_VERSION_TEXT "   " QX_COPYRIGHT_TEXT "\n";

// In UTC the count at kT is 0x01020304, so every byte differs.
constexpr long long kT = 1689440260;

// Runs path, found on PATH when it holds no slash, with exactly this argument vector (argument 0
// included) and environment. With stdoutPath, standard output goes to that file, is closed when
// the path is empty, or is a pipe whose reader has left when it is "|". SIGPIPE takes its
// default action, as in a shell.
inline Result runProcess(const char* path, const Strings& args, const Strings& env,
                         const char* stdoutPath = nullptr) {
  std::vector<char*> argv, envp;
  for (const auto& s : args) argv.push_back(const_cast<char*>(s.c_str()));
  for (const auto& s : env) envp.push_back(const_cast<char*>(s.c_str()));
  argv.push_back(nullptr), envp.push_back(nullptr);
  FILE* files[] = {std::tmpfile(), std::tmpfile()};  // Read after the run: neither can block.
  if (files[0] == nullptr || files[1] == nullptr) return {"", "tmpfile failed", -1};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fileno(files[0]), STDOUT_FILENO), dup2(fileno(files[1]), STDERR_FILENO);
    (void)signal(SIGPIPE, SIG_DFL);
    int fds[2];
    if (stdoutPath != nullptr && std::string(stdoutPath) == "|") {
      if (pipe(fds) != 0 || dup2(fds[1], STDOUT_FILENO) < 0) _exit(126);
      close(fds[0]), close(fds[1]);
    } else if (stdoutPath != nullptr) {
      close(STDOUT_FILENO);
      if (*stdoutPath != '\0' && open(stdoutPath, O_WRONLY) != STDOUT_FILENO) _exit(126);
    }
    execvpe(path, argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Result result{"", "", WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status)};
  char buf[65536];
  for (auto [file, text] : {std::pair{files[0], &result.out}, {files[1], &result.err}}) {
    std::rewind(file);
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, file)) > 0;) text->append(buf, n);
    (void)std::fclose(file);
  }
  return result;
}

inline std::string fromEnv(const char* name, const char* fallback = "") {
  const char* value = std::getenv(name);
  return value == nullptr ? fallback : value;
}

// Runs the build under test with its clock frozen at epoch; env holds the run's other settings,
// such as TZ.
inline Result runTickerAt(long long epoch, Strings args, Strings env,
                          const char* stdoutPath = nullptr) {
  static const std::string ticker = fromEnv("QX_TICKER", QX_TICKER);
  static const Strings emulator = [] {
    std::istringstream words(fromEnv("QX_EMULATOR"));
    return Strings(std::istream_iterator<std::string>(words), {});
  }();
  // A static build's sibling has the clock linked in and ignores LD_PRELOAD.
  env.insert(
      env.end(),
      {"QX_TEST_NOW=" + std::to_string(epoch), "LD_PRELOAD=" + fromEnv("QX_PRELOAD", QX_PRELOAD)});
  if (emulator.empty()) return runProcess(ticker.c_str(), args, env, stdoutPath);
  // qemu-user's -0 passes argument 0 on; with no argument 0 at all it passes the path.
  const std::string name = args.empty() ? ticker : args[0];
  if (!args.empty()) args.erase(args.begin());
  args.insert(args.begin(), {"-0", name, ticker});
  args.insert(args.begin(), emulator.begin(), emulator.end());
  return runProcess(emulator[0].c_str(), args, env, stdoutPath);
}

}  // namespace qx_test
