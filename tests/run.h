// Runs the tool as scripts see it: an argument vector and an environment in, standard output and
// the exit status out. Every test starts it through here, at a frozen instant under libfaketime,
// or at the real clock when it compares other builds with the dynamic one.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace qx_test {

using Strings = std::vector<std::string>;
using Result = std::pair<std::string, int>;

// Runs path with exactly this argument vector (argument 0 included) and environment. Returns
// standard output and the exit status, or 1000 + the signal that ended the run. With stdoutPath,
// standard output goes to that file instead, or is closed when the path is empty, and standard
// error is returned.
inline Result runProcess(const char* path, const Strings& args, const Strings& env,
                         const char* stdoutPath = nullptr) {
  std::vector<char*> argv, envp;
  for (const auto& s : args) argv.push_back(const_cast<char*>(s.c_str()));
  for (const auto& s : env) envp.push_back(const_cast<char*>(s.c_str()));
  argv.push_back(nullptr), envp.push_back(nullptr);
  int fds[2];
  if (pipe(fds) != 0) return {"pipe failed", -1};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], stdoutPath == nullptr ? STDOUT_FILENO : STDERR_FILENO);
    close(fds[0]), close(fds[1]);
    if (stdoutPath != nullptr) {
      close(STDOUT_FILENO);
      if (*stdoutPath != '\0' && open(stdoutPath, O_WRONLY) != STDOUT_FILENO) _exit(126);
    }
    execve(path, argv.data(), envp.data());
    _exit(127);
  }
  close(fds[1]);
  std::string out;
  char buf[65536];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {out, WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status)};
}

// Runs the tool with its clock frozen at epoch; env holds the run's other settings, such as TZ.
inline Result runTickerAt(long long epoch, const Strings& args, Strings env) {
  env.insert(env.end(),
             {"FAKETIME_FMT=%s", "FAKETIME=" + std::to_string(epoch), "LD_PRELOAD=" QX_PRELOAD});
  return runProcess(QX_TICKER, args, env);
}

// Other builds of the tool (the static ones, the aarch64 one under qemu-user) must behave as the
// dynamic one. libfaketime cannot reach a static binary, so they are compared at the real clock.
// QX_SAME_OUTPUT lists the builds, separated by ':', the reference first, each by its absolute
// path. An entry "EMULATOR PATH" runs PATH under qemu-user, whose -0 passes argument 0 on. When
// the variable is unset, the comparisons are skipped; scripts/check-static.sh sets it.
inline std::vector<Strings> sameOutputBuilds() {
  std::vector<Strings> builds;
  const char* list = std::getenv("QX_SAME_OUTPUT");
  std::istringstream entries(list == nullptr ? "" : list);
  for (std::string entry; std::getline(entries, entry, ':');) {
    std::istringstream words(entry);
    builds.emplace_back();
    for (std::string word; words >> word;) builds.back().push_back(word);
  }
  return builds;
}

inline Result runBuild(const Strings& build, Strings args, const Strings& env) {
  if (build.size() == 1) return runProcess(build[0].c_str(), args, env);
  // qemu cannot start a program with no argument 0; it then passes the path.
  const std::string name = args.empty() ? build[1] : args[0];
  if (!args.empty()) args.erase(args.begin());
  args.insert(args.begin(), {build[0], "-0", name, build[1]});
  return runProcess(build[0].c_str(), args, env);
}

// Whether QX_SAME_OUTPUT is set; a setting that names no build besides the reference fails.
inline bool haveOtherBuilds() {
  if (std::getenv("QX_SAME_OUTPUT") == nullptr) return false;
  EXPECT_GE(sameOutputBuilds().size(), 2U) << "QX_SAME_OUTPUT names no build to compare";
  return true;
}

// Runs every build with this argument vector (argument 0 included) and environment, and expects
// each one's whole standard output and exit status to equal the reference's. All the runs are
// repeated while the real clock's second changes during them, so that they all see one second.
inline void expectSameOutput(const Strings& args, const Strings& env, const std::string& label) {
  const auto builds = sameOutputBuilds();
  std::vector<Result> results(builds.size());
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t second = std::time(nullptr);
    for (size_t b = 0; b < builds.size(); ++b) results[b] = runBuild(builds[b], args, env);
    if (std::time(nullptr) == second) break;
  }
  // Two builds that cannot start agree too; the reference must have run.
  EXPECT_NE(results.at(0).first.find("\nReturning Exit Code "), std::string::npos) << label;
  for (size_t b = 1; b < builds.size(); ++b) {
    EXPECT_EQ(results[b], results[0]) << label << ": " << testing::PrintToString(builds[b]);
  }
}

}  // namespace qx_test
