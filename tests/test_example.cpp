// elapsed/qxelapsed, run as a command with a stand-in for the tool (tests/ticker_at.sh).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "run.h"

namespace {

using qx_test::kT;
using qx_test::Strings;

// The stand-in that runs the real tool at a chosen clock.
const char* const stub = QX_SOURCE_DIR "/tests/ticker_at.sh";

// The stand-in's clock starts at `at` and moves `step` seconds a call; `tool` is what the script
// runs as the tool. `out` is all of standard output, or a part when it starts with a newline;
// `err` all of standard error when empty or ending in a newline, else a part. `env` is the
// caller's TZ, which the script must ignore, or QX_EXIT, the status the stand-in exits with.
struct Call {
  Strings args;
  long long at, step;
  const char* tool;
  std::string out;
  int status;
  std::string err{};
  std::string env = "TZ=Europe/Berlin";
  const char* stdoutPath = nullptr;
};
// In UTC the count at kT + 251 is 0x010203FF, so one second later byte 1 wraps to 0 and a carry
// reaches byte 2: a save without its guard would keep "255 4 2 1", 255 seconds off. Steps of 63 s
// put byte 1 back 4 in each save of five runs. At 86400, in 1970, byte 4 is 156; at 0 the tool
// has no count.
const std::string refused = "cannot save a moment before 1 January 2023";
const Call kCalls[] = {
    {{"save"}, kT + 251, 1, stub, "4 4 2 1\n", 0},
    {{"save"}, kT + 96, 63, stub, "", 1, "byte 1 keeps wrapping between runs"},
    {{"save"}, 86400, 0, stub, "", 1, refused},
    {{"save"}, 0, 0, stub, "", 1, refused},
    {{"report", "4", "3", "2", "1"}, kT + 3725, 0, stub, "\nDifference seconds: 3725\n", 0},
    {{"save"}, kT, 0, stub, "", 1, "did not run as expected", "QX_EXIT=0"},
    {{"report", "0", "0", "0", "0"}, kT, 0, stub, "\nError: Parameter is not a time delta 0\n", 1},
    {{"since", "0", "0", "0", "0"}, kT, 0, stub, "", 1, "Error: Parameter is not a time delta 0\n"},
    {{"save"}, kT, 0, "/bin/cat", "", 1, "invalid option"},
    {{"since", "255", "255", "255", "127"}, kT, 0, stub, "-2130574587\n", 0},
    {{"--help"}, kT, 0, stub, "\n  since    prints only the seconds since, one integer\n", 0},
    {{"-h"}, kT, 0, stub, "\n  since    prints only the seconds since, one integer\n", 0},
    {{"save"}, kT, 0, stub, "", 1, "qxelapsed: write error: Bad file descriptor\n", "", ""},
    {{"report", "4", "3", "2", "1"}, kT, 0, stub, "", 1, ": No space left on", "", "/dev/full"},
    {{"since", "4", "3", "2", "1"}, kT, 0, stub, "", 1, "write error: Broken pipe", "", "|"},
    {{}, kT, 0, stub, "", 2, "no command given"},
    {{"load"}, kT, 0, stub, "", 2, "unknown command 'load'"},
    {{"save", "1"}, kT, 0, stub, "", 2, "save takes no arguments"},
    {{"report", "1", "2", "3"}, kT, 0, stub, "", 2, "report needs four bytes, not 3"},
    {{"since", "1", "2", "3", "4", "5"}, kT, 0, stub, "", 2, "since needs four bytes, not 5"},
    {{"report", "1", "-1", "3", "4"}, kT, 0, stub, "", 2, "byte 2 is -1; each byte must be 0 to"},
    {{"since", "1", "2", "256", "4"}, kT, 0, stub, "", 2, "byte 3 is 256; each byte must be 0 to"},
    {{"report", "1", "2", "3", "128"}, kT, 0, stub, "", 2, "byte 4 is 128; it must be 0 to 127"},
    {{"report", "1", "", "3", "4"}, kT, 0, stub, "", 2, "byte 2 is empty; each byte must be 0"},
};

TEST(Example, SaveReportSinceAndTheirExitStatus) {
  const std::string called = testing::TempDir() + "qx_called_" + std::to_string(getpid());
  for (const Call& r : kCalls) {
    unlink(called.c_str());  // The stand-in creates it on its first call.
    Strings argv = {"qxelapsed"};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    const auto [out, err, status] = qx_test::runProcess(QX_SOURCE_DIR "/elapsed/qxelapsed",
                                                        argv,
                                                        {"PATH=/usr/bin:/bin",
                                                         r.env,
                                                         std::string("QX_TICKER=") + r.tool,
                                                         "QX_REAL=" QX_TICKER,
                                                         "QX_PRELOAD=" QX_PRELOAD,
                                                         "QX_FIRST=" + std::to_string(r.at),
                                                         "QX_STEP=" + std::to_string(r.step),
                                                         "QX_CALLED=" + called},
                                                        r.stdoutPath);
    SCOPED_TRACE("run " + std::to_string(&r - kCalls) + ":\n" + out);
    EXPECT_TRUE(r.out.starts_with('\n') ? out.find(r.out) != std::string::npos : out == r.out);
    EXPECT_EQ(status, r.status);
    EXPECT_TRUE(r.err.empty() || r.err.ends_with('\n') ? err == r.err
                                                       : err.find(r.err) != std::string::npos)
        << err;
  }
  unlink(called.c_str());
}

}  // namespace
