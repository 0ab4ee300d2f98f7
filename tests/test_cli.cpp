#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "qx_version.h"

namespace {

const std::string kBanner =
    "________________________________ qxConsoleTicker __________________________________\n"
    "   " QX_VERSION_TEXT "   " QX_COPYRIGHT_TEXT "\n";

struct Outcome {
  std::string out;
  int status;  // The exit status, or 1000 + the signal that ended the run.
};

std::vector<char*> pointers(const std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (const auto& s : strings) result.push_back(const_cast<char*>(s.c_str()));
  result.push_back(nullptr);
  return result;
}

// Runs the real binary with exactly this argument vector (argument 0 included) at a frozen
// instant in one zone, with an environment that holds nothing else.
Outcome runTicker(const std::vector<std::string>& args, long long epoch, const std::string& tz) {
  const std::vector<std::string> env = {
      "TZ=" + tz, "FAKETIME_FMT=%s", "FAKETIME=" + std::to_string(epoch), "LD_PRELOAD=" QX_PRELOAD};
  auto argv = pointers(args), envp = pointers(env);
  int fds[2];
  if (pipe(fds) != 0) return {"pipe failed", -1};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    close(fds[1]);
    execve(QX_TICKER, argv.data(), envp.data());
    _exit(127);
  }
  close(fds[1]);
  Outcome o{"", -1};
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
    o.out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  return o;
}

// At this instant the count is 0x01020304 in UTC, so every byte differs.
constexpr long long kT = 1689440260;
const std::string kAtT = "The time is 15.Jul.2023  16:57.40\nSeconds since 1.1.2023: 16909060\n";
const std::string kWhole = "Returning Exit Code 16909060\n";
const std::string kP = "qxConsoleTicker";  // Argument 0 as a shell passes it.

std::string error(const std::string& arg) {
  return "Last value: 0\nError: Parameter is not a time delta " + arg + "\n";
}

struct Case {
  std::vector<std::string> args;
  std::string body;  // Everything after the banner.
  int status;
  long long epoch = kT;
  std::string tz = "UTC0";
};

const Case kCases[] = {
    {{kP}, kAtT + kWhole, 4},
    {{}, kAtT + kWhole, 4},  // An empty argument vector scans nothing.
    {{kP, "-b1"}, kAtT + "Returning Exit Code 4 (byte 1)\n", 4},
    {{kP, "-b2"}, kAtT + "Returning Exit Code 3 (byte 2)\n", 3},
    {{kP, "-b3", "-b3"}, kAtT + "Returning Exit Code 2 (byte 3)\n", 2},
    {{kP, "-b4"}, kAtT + "Returning Exit Code 1 (byte 4)\n", 1},
    {{kP, "-b4", "-b1"}, kAtT + "Returning Exit Code 4 (byte 1)\n", 4},
    {{kP, "-b3", "12", "34"}, kAtT + "Returning Exit Code 2 (byte 3)\n", 2},
    {{kP, "x", "-b2"}, kAtT + "Returning Exit Code 3 (byte 2)\n", 3},
    {{"-b2"}, kAtT + "Returning Exit Code 3 (byte 2)\n", 3},
    {{"-b2", "5", "6"}, kAtT + "Returning Exit Code 3 (byte 2)\n", 3},
    {{"-b2", "-b1"}, kAtT + "Returning Exit Code 4 (byte 1)\n", 4},
    {{kP, "-b5"}, kAtT + error("-b5") + kWhole, 4},
    {{kP, "-B1"}, kAtT + error("-B1") + kWhole, 4},
    {{kP, "-b10"}, kAtT + error("-b10") + kWhole, 4},
    {{kP, "b1"}, kAtT + error("b1") + kWhole, 4},
    {{kP, "-b1 "}, kAtT + error("-b1 ") + kWhole, 4},
    {{kP, "%n%s%x%p"}, kAtT + error("%n%s%x%p") + kWhole, 4},
    {{kP, "abc"}, kAtT + error("abc") + kWhole, 4},
    {{kP, std::string(150, 'x')}, kAtT + error(std::string(100, 'x')) + kWhole, 4},
    {{kP, "-99999999999999999999"}, kAtT + error("-99999999999999999999") + kWhole, 4},
    {{kP, "-5"}, kAtT + "Last value: -5\nError: Parameter is not a time delta -5\n" + kWhole, 4},
    // Clamped to the largest value, then 256 more wraps to a negative sum.
    {{kP, "99999999999999999999", "1"},
     kAtT + "Last value: 255\nError: Parameter is not a time delta 99999999999999999999\n" + kWhole,
     4},
    {{kP, "", "5"}, kAtT + kWhole, 4},
    {{kP, "10", "20", "30", "0"},
     kAtT + "Last value: 1971210\nDifference: 172d 21h\nDifference seconds: 14937850\n\n" + kWhole,
     4},
    {{kP, "4", "3", "2", "1", "9", "9"},
     kAtT + "Last value: 16909060\nDifference: 00:00.00\nDifference seconds: 0\n\n" + kWhole,
     4},
    {{kP, "255", "255", "255", "255"},
     kAtT + "Last value: -1\nDifference: -1188349:-30.-35\nDifference seconds: 16909061\n\n" +
         kWhole,
     4},
    {{kP, "abc", "1"},
     kAtT + "Last value: 256\nDifference: 195d 16h\nDifference seconds: 16908804\n\n" + kWhole,
     4},
    {{kP, "0", "1"},
     kAtT + "Last value: 256\nDifference: 195d 16h\nDifference seconds: 16908804\n\n" + kWhole,
     4},
    {{kP, " +12", "0"},
     kAtT + "Last value: 12\nDifference: 195d 16h\nDifference seconds: 16909048\n\n" + kWhole,
     4},
    {{kP, "1", "", "1"},
     kAtT + "Last value: 65537\nDifference: 194d 22h\nDifference seconds: 16843523\n\n" + kWhole,
     4},
    {{kP, std::string(150, '9')},
     kAtT +
         "Last value: -1\nDifference: -2562047788010518:-32.-27\nDifference seconds: 16909061\n\n" +
         kWhole,
     4},
    {{kP, "16909065"},
     kAtT + "Last value: 16909065\nDifference: 00:00.-5\nDifference seconds: -5\n\n" + kWhole,
     4},
    {{kP, "16709060"},
     kAtT + "Last value: 16709060\nDifference: 2d 7h\nDifference seconds: 200000\n\n" + kWhole,
     4},
    // One second before the reference date: every byte of -1 is 255.
    {{kP},
     "The time is 31.Dec.2022  23:59.59\nSeconds since 1.1.2023: -1\nReturning Exit Code -1\n",
     255,
     1672531199},
    {{kP, "-b3"},
     "The time is 31.Dec.2022  23:59.59\nSeconds since 1.1.2023: -1\nReturning Exit Code 255 (byte "
     "3)\n",
     255,
     1672531199},
    {{kP},
     "The time is 05.Dec.2023  21:21.09\nSeconds since 1.1.2023: 29280069\n"
     "Returning Exit Code 29280069\n",
     69,
     1701807669,
     "Europe/Berlin"},
    {{kP, "10", "20", "30", "0"},
     "The time is 23.Jan.2023  19:45.35\nSeconds since 1.1.2023: 1971935\nLast value: 1971210\n"
     "Difference: 00:12.05\nDifference seconds: 725\n\nReturning Exit Code 1971935\n",
     223,
     1674503135},
    // UTC+1 at 23:30 UTC: local time is already on the next day.
    {{kP},
     "The time is 02.Jan.2023  00:30.00\nSeconds since 1.1.2023: 88200\nReturning Exit Code "
     "88200\n",
     136,
     1672615800,
     "XXX-1"},
    {{kP},
     "The time is 01.Jan.2023  14:00.00\nSeconds since 1.1.2023: 50400\nReturning Exit Code "
     "50400\n",
     224,
     1672531200,
     "XXX-14"},
    {{kP},
     "The time is 31.Dec.2022  19:00.00\nSeconds since 1.1.2023: -18000\n"
     "Returning Exit Code -18000\n",
     176,
     1672531200,
     "XXX+5"},
    // The last second before a daylight-saving change still shows the old wall-clock time.
    {{kP},
     "The time is 26.Mar.2023  01:59.59\nSeconds since 1.1.2023: 7264799\n"
     "Returning Exit Code 7264799\n",
     31,
     1679792399,
     "Europe/Berlin"},
    {{kP},
     "The time is 29.Oct.2023  02:59.59\nSeconds since 1.1.2023: 26013599\n"
     "Returning Exit Code 26013599\n",
     159,
     1698541199,
     "Europe/Berlin"},
    // A clock at the epoch reads as unset: the count is the fixed 2000000000.
    {{kP},
     "The time is -.- 00:00.00\nSeconds since 1.1.2023: 2000000000\nReturning Exit Code "
     "2000000000\n",
     0,
     0},
    // After 2038 the 64-bit clock still works; the 32-bit count has wrapped by 2100.
    {{kP, "-b4"},
     "The time is 01.Jan.2100  00:00.00\nSeconds since 1.1.2023: -1865053696\n"
     "Returning Exit Code 144 (byte 4)\n",
     144,
     4102444800},
};

TEST(EndToEnd, WholeOutputAndExitStatus) {
  for (const Case& c : kCases) {
    const Outcome o = runTicker(c.args, c.epoch, c.tz);
    SCOPED_TRACE("case " + std::to_string(&c - kCases));
    EXPECT_EQ(o.out, kBanner + c.body);
    EXPECT_EQ(o.status, c.status);
  }
}

}  // namespace
