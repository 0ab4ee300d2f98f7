#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "process.h"

namespace {

// Runs examples/elapsed.sh with the stand-in ticker, whose clock reads `first` on its first call
// and `later` on every call after.
std::pair<std::string, int> runExample(const std::vector<std::string>& args, const char* tz,
                                       long long first, long long later) {
  const std::string called = testing::TempDir() + "qx_called_" + std::to_string(getpid());
  unlink(called.c_str());  // The stand-in creates it on its first call.
  std::vector<std::string> argv = {"sh", QX_SOURCE_DIR "/examples/elapsed.sh"};
  argv.insert(argv.end(), args.begin(), args.end());
  auto result =
      qx_test::runProcess("/bin/sh", argv,
                          {"PATH=/usr/bin:/bin", std::string("TZ=") + tz,
                           "QX_TICKER=" QX_SOURCE_DIR "/tests/ticker_at.sh", "QX_REAL=" QX_TICKER,
                           "QX_PRELOAD=" QX_PRELOAD, "QX_FIRST=" + std::to_string(first),
                           "QX_LATER=" + std::to_string(later), "QX_CALLED=" + called});
  unlink(called.c_str());
  return result;
}

// In UTC the count at 1689440260 is 0x01020304; at 1689440511 it is 0x010203FF, so one second
// later byte 1 wraps to 0 and a carry reaches byte 2. A save without the guard would then keep
// "255 4 2 1", 255 seconds off.
// clang-format off
TEST(Example, SaveThenReportRoundTrip) {
  const struct { const char* tz; long long first, later; std::vector<std::string> saved; } rows[] = {
      {"UTC0", 1689440260, 1689440260, {"4", "3", "2", "1"}}, {"Europe/Berlin", 1701807669, 1701807669, {"69", "199", "190", "1"}},
      {"UTC0", 1689440511, 1689440512, {"0", "4", "2", "1"}},  // Carry between the first run and the second.
  };
  for (const auto& r : rows) {
    const auto& b = r.saved;
    EXPECT_EQ(runExample({"save"}, r.tz, r.first, r.later), std::make_pair(b[0] + ' ' + b[1] + ' ' + b[2] + ' ' + b[3] + '\n', 0));
    const long long at = r.later + 3725;
    const auto [report, status] = runExample({"report", b[0], b[1], b[2], b[3]}, r.tz, at, at);
    EXPECT_NE(report.find("\nDifference: 01:02.05\nDifference seconds: 3725\n"), std::string::npos) << report;
    EXPECT_EQ(status, 0);
  }
}

TEST(Example, RejectsMalformedCommandLines) {
  const std::vector<std::string> rows[] = {{}, {"load"}, {"save", "1"}, {"report", "1", "2", "3"},
      {"report", "1", "2", "3", "256"}, {"report", "1", "2", "3", "-1"}, {"report", "1", "2", "3", ""},
      {"report", "1", "2", "3", "99999999999999999999"}};
  for (const auto& args : rows) {
    EXPECT_EQ(runExample(args, "UTC0", 1689440260, 1689440260), std::make_pair(std::string(), 2))
        << testing::PrintToString(args);
  }
}
// clang-format on

}  // namespace
