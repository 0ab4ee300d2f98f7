// examples/elapsed.sh, run by /bin/sh with a stand-in for the tool (tests/ticker_at.sh).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "run.h"

namespace {

using qx_test::kT;
using qx_test::Strings;

// In UTC the count at kT + 251 is 0x010203FF, so one second later byte 1 wraps to 0 and a carry
// reaches byte 2. A save without its guard would then keep "255 4 2 1", 255 seconds off.
// The stand-in that runs the real tool at a chosen clock.
const char* const stub = QX_SOURCE_DIR "/tests/ticker_at.sh";

// The stand-in runs the tool with its clock at `at` on its first call and `step` seconds later on
// every later one; `tool` is what the script runs as the tool. `out` is the whole standard output,
// or, when it starts with a newline, a part of the tool's report that a report passes on.
struct Call {
  Strings args;
  long long at, step;
  const char* tool;
  std::string out;
  int status;
};
const Call kCalls[] = {
    {{"save"}, kT, 0, stub, "4 3 2 1\n", 0},
    {{"save"}, kT + 251, 1, stub, "0 4 2 1\n", 0},
    {{"report", "4", "3", "2", "1"}, kT + 3725, 0, stub, "\nDifference seconds: 3725\n", 0},
    {{"report", "0", "0", "0", "0"}, kT, 0, stub, "\nError: Parameter is not a time delta 0\n", 1},
    {{"save"}, kT, 0, "/bin/false", "", 1},
    {{"report", "4", "3", "2", "1"}, kT, 0, "/bin/true", "\n", 1},
    {{}, kT, 0, stub, "", 2},
    {{"load"}, kT, 0, stub, "", 2},
    {{"save", "1"}, kT, 0, stub, "", 2},
    {{"report", "1", "2", "3"}, kT, 0, stub, "", 2},
    {{"report", "1", "2", "3", "256"}, kT, 0, stub, "", 2},
    {{"report", "1", "2", "3", "-1"}, kT, 0, stub, "", 2},
};

TEST(Example, SaveReportAndTheirExitStatus) {
  const std::string called = testing::TempDir() + "qx_called_" + std::to_string(getpid());
  for (const Call& r : kCalls) {
    unlink(called.c_str());  // The stand-in creates it on its first call.
    Strings argv = {"sh", QX_SOURCE_DIR "/examples/elapsed.sh"};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    const auto [out, err, status] =
        qx_test::runProcess("/bin/sh",
                            argv,
                            {"PATH=/usr/bin:/bin",
                             "TZ=UTC0",
                             std::string("QX_TICKER=") + r.tool,
                             "QX_REAL=" QX_TICKER,
                             "QX_PRELOAD=" QX_PRELOAD,
                             "QX_FIRST=" + std::to_string(r.at),
                             "QX_LATER=" + std::to_string(r.at + r.step),
                             "QX_CALLED=" + called});
    const std::string label = "run " + std::to_string(&r - kCalls) + ":\n" + out;
    if (r.out.starts_with('\n')) {
      EXPECT_NE(out.find(r.out), std::string::npos) << label;
    } else {
      EXPECT_EQ(out, r.out) << label;
    }
    EXPECT_EQ(status, r.status) << label;
  }
  unlink(called.c_str());
}

}  // namespace
