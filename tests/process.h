// Runs a program as the tests see it from outside: argument vector, environment, standard
// output and exit status.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace qx_test {

inline std::vector<char*> pointers(const std::vector<std::string>& strings) {
  std::vector<char*> result;
  result.reserve(strings.size() + 1);
  for (const auto& s : strings) result.push_back(const_cast<char*>(s.c_str()));
  result.push_back(nullptr);
  return result;
}

// Runs path with exactly this argument vector (argument 0 included) and environment. Returns
// standard output and the exit status, or 1000 + the signal that ended the run. With stdoutPath,
// standard output goes to that file instead, or is closed when the path is empty, and standard
// error is returned.
inline std::pair<std::string, int> runProcess(const char* path,
                                              const std::vector<std::string>& args,
                                              const std::vector<std::string>& env,
                                              const char* stdoutPath = nullptr) {
  auto argv = pointers(args), envp = pointers(env);
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

}  // namespace qx_test
