#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "process.h"
#include "qx_version.h"
#include "same_output.h"

namespace {

// Runs the real binary with exactly this argument vector (argument 0 included) at a frozen
// instant in one zone, in an environment that holds nothing else.
std::pair<std::string, int> runTicker(const std::vector<std::string>& args, long long epoch,
                                      const char* tz) {
  return qx_test::runProcess(QX_TICKER, args,
                             {std::string("TZ=") + tz, "FAKETIME_FMT=%s",
                              "FAKETIME=" + std::to_string(epoch), "LD_PRELOAD=" QX_PRELOAD});
}

const std::string kBanner =
    "________________________________ qxConsoleTicker __________________________________\n"
    "   " QX_VERSION_TEXT "   " QX_COPYRIGHT_TEXT "\n";
const std::string p = "qxConsoleTicker", x150(150, 'x'), x100(100, 'x'), n150(150, '9');

// Runs at one instant: the clock and count lines, then the report and exit lines of each row.
struct Instant {
  long long epoch;
  const char* tz;
  std::string clockAndCount;
};
struct Case {
  const Instant* at;
  std::vector<std::string> args;
  std::string report, exitLine;
  int status;
};

std::string err(const std::string& last, const std::string& arg) {
  return "Last value: " + last + "\nError: Parameter is not a time delta " + arg + "\n";
}
std::string diff(const std::string& last, const std::string& text, const std::string& secs) {
  return "Last value: " + last + "\nDifference: " + text + "\nDifference seconds: " + secs + "\n\n";
}

// At T the count is 0x01020304 in UTC, so every byte differs.
// clang-format off
const Instant T{1689440260, "UTC0", "15.Jul.2023  16:57.40\nSeconds since 1.1.2023: 16909060"},
    minusOne{1672531199, "UTC0", "31.Dec.2022  23:59.59\nSeconds since 1.1.2023: -1"},
    berlin{1701807669, "Europe/Berlin", "05.Dec.2023  21:21.09\nSeconds since 1.1.2023: 29280069"},
    sample{1674503135, "UTC0", "23.Jan.2023  19:45.35\nSeconds since 1.1.2023: 1971935"},
    utcPlus1{1672615800, "XXX-1", "02.Jan.2023  00:30.00\nSeconds since 1.1.2023: 88200"},
    utcPlus14{1672531200, "XXX-14", "01.Jan.2023  14:00.00\nSeconds since 1.1.2023: 50400"},
    utcMinus5{1672531200, "XXX+5", "31.Dec.2022  19:00.00\nSeconds since 1.1.2023: -18000"},
    beforeSpring{1679792399, "Europe/Berlin", "26.Mar.2023  01:59.59\nSeconds since 1.1.2023: 7264799"},
    beforeAutumn{1698541199, "Europe/Berlin", "29.Oct.2023  02:59.59\nSeconds since 1.1.2023: 26013599"},
    epoch{0, "UTC0", "-.- 00:00.00\nSeconds since 1.1.2023: 2000000000"},
    y2100{4102444800, "UTC0", "01.Jan.2100  00:00.00\nSeconds since 1.1.2023: -1865053696"};
const std::string all = "16909060";

const Case kCases[] = {
    {&T, {p}, "", all, 4}, {&T, {}, "", all, 4}, {&T, {p, "-b1"}, "", "4 (byte 1)", 4}, {&T, {p, "-b2"}, "", "3 (byte 2)", 3},
    {&T, {p, "-b3", "-b3"}, "", "2 (byte 3)", 2}, {&T, {p, "-b4"}, "", "1 (byte 4)", 1}, {&T, {p, "-b4", "-b1"}, "", "4 (byte 1)", 4},
    {&T, {p, "-b3", "12", "34"}, "", "2 (byte 3)", 2}, {&T, {p, "x", "-b2"}, "", "3 (byte 2)", 3},
    {&T, {"-b2", "5", "6"}, "", "3 (byte 2)", 3},
    {&T, {p, "-b5", "-B1", "-b10", "b1", "-b1 "}, err("0", "-b5"), all, 4}, {&T, {p, "%n%s%x%p"}, err("0", "%n%s%x%p"), all, 4},
    {&T, {p, x150}, err("0", x100), all, 4}, {&T, {p, "-5"}, err("-5", "-5"), all, 4},
    {&T, {p, "-99999999999999999999"}, err("0", "-99999999999999999999"), all, 4},
    {&T, {p, "99999999999999999999", "1"}, err("255", "99999999999999999999"), all, 4},  // Clamped, then wraps.
    {&T, {p, "", "5"}, "", all, 4}, {&T, {p, "10", "20", "30", "0"}, diff("1971210", "172d 21h", "14937850"), all, 4},
    {&T, {p, "4", "3", "2", "1", "9", "9"}, diff(all, "00:00.00", "0"), all, 4},
    {&T, {p, "255", "255", "255", "255"}, diff("-1", "-1188349:-30.-35", "16909061"), all, 4},
    {&T, {p, "abc", "1"}, diff("256", "195d 16h", "16908804"), all, 4}, {&T, {p, " +12", "0"}, diff("12", "195d 16h", "16909048"), all, 4},
    {&T, {p, "1", "", "1"}, diff("65537", "194d 22h", "16843523"), all, 4},
    {&T, {p, n150}, diff("-1", "-2562047788010518:-32.-27", "16909061"), all, 4},
    {&T, {p, "16909065"}, diff("16909065", "00:00.-5", "-5"), all, 4}, {&T, {p, "16709060"}, diff("16709060", "2d 7h", "200000"), all, 4},
    {&minusOne, {p}, "", "-1", 255}, {&minusOne, {p, "-b3"}, "", "255 (byte 3)", 255}, {&berlin, {p}, "", "29280069", 69},
    {&sample, {p, "10", "20", "30", "0"}, diff("1971210", "00:12.05", "725"), "1971935", 223},
    {&utcPlus1, {p}, "", "88200", 136}, {&utcPlus14, {p}, "", "50400", 224}, {&utcMinus5, {p}, "", "-18000", 176},
    {&beforeSpring, {p}, "", "7264799", 31}, {&beforeAutumn, {p}, "", "26013599", 159},
    {&epoch, {p}, "", "2000000000", 0}, {&y2100, {p, "-b4"}, "", "144 (byte 4)", 144},
};
// clang-format on

TEST(EndToEnd, WholeOutputAndExitStatus) {
  for (const Case& c : kCases) {
    const auto [out, status] = runTicker(c.args, c.at->epoch, c.at->tz);
    EXPECT_EQ(out, kBanner + "The time is " + c.at->clockAndCount + "\n" + c.report +
                       "Returning Exit Code " + c.exitLine + "\n")
        << "case " << &c - kCases;
    EXPECT_EQ(status, c.status) << "case " << &c - kCases;
  }
}

// Output that cannot be written is reported on standard error, and the exit status stays the
// chosen byte of the count, since scripts read it as data. libfaketime opens a file of its own,
// which would take a closed descriptor 1, so these runs read the real clock; byte 4 of the count
// changes once in 194 days.
TEST(EndToEnd, WriteErrorIsReportedAndKeepsTheStatus) {
  const struct {
    const char* stdoutPath;
    std::string reason;
  } rows[] = {
      {"/dev/full", "No space left on device"},
      {"", "Bad file descriptor"},
  };
  for (const auto& r : rows) {
    const auto [err, status] =
        qx_test::runProcess(QX_TICKER, {p, "-b4"}, {"TZ=UTC0"}, r.stdoutPath);
    EXPECT_EQ(err, "qxConsoleTicker: write error: " + r.reason + "\n");
    EXPECT_EQ(status, ((std::time(nullptr) - 1672531200) >> 24) & 0xFF);
  }
}

// Hostile command lines and environments: whatever the input, a run ends by itself and prints
// the banner, the clock line, the count line, possibly a report, and the exit line, in that
// order, and the exit line agrees with the exit status. Rows without a TZ leave it unset.
std::string allBytes() {
  std::string s;
  for (int b = 1; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

const std::string tz2000 = "TZ=" + std::string(2000, 'A');
// clang-format off
const struct Hostile { std::vector<std::string> env; std::vector<std::string> args; } kHostile[] = {
    {{"TZ=UTC0"}, {p, std::string(131071, '7')}}, {{"TZ=UTC0"}, std::vector<std::string>(10000, "-b")},
    {{"TZ=UTC0"}, {p, allBytes()}}, {{"TZ=UTC0"}, {p, allBytes().substr(100), "1", "2", "3"}},
    {{"TZ=UTC0"}, {p, "%n%s%x", "%n", "%s%s%s%s", "%99999d"}}, {{"TZ=UTC0"}, {p, "123456789012345678901234567890"}},
    {{"TZ=UTC0"}, {p, "-123456789012345678901234567890", "+99999999999999999999"}},
    {{"TZ=UTC0"}, {p, "", "", "", ""}}, {{"TZ=UTC0"}, {""}}, {{"TZ=UTC0"}, {p, "-b1x", "x-b1", "-b1-b2", "--b1"}},
    {{}, {p}}, {{"TZ="}, {p, "-b2"}}, {{"TZ=Nowhere/Bogus"}, {p, "7"}}, {{tz2000}, {p}},
    {{"TZ=/nonexistent/zone/file"}, {p, "-b4"}}, {{"TZ=:/nonexistent"}, {p}},
};
// clang-format on

TEST(EndToEnd, HostileInputKeepsTheOutputWellFormed) {
  const std::regex shape(
      "________________________________ qxConsoleTicker __________________________________\n"
      R"(   [^\n]+\nThe time is [^\n]+\nSeconds since 1\.1\.2023: -?[0-9]+\n)"
      R"((Last value: -?[0-9]+\n(Error: Parameter is not a time delta [\s\S]*\n|)"
      R"(Difference: [^\n]+\nDifference seconds: -?[0-9]+\n\n))?)"
      R"(Returning Exit Code (-?[0-9]+)( \(byte [1-4]\))?\n)");
  for (const Hostile& r : kHostile) {
    auto env = r.env;
    env.insert(env.end(), {"FAKETIME_FMT=%s", "FAKETIME=1701807669", "LD_PRELOAD=" QX_PRELOAD});
    const auto [out, status] = qx_test::runProcess(QX_TICKER, r.args, env);
    std::smatch m;
    const std::string label = "row " + std::to_string(&r - kHostile) + ":\n" + out.substr(0, 400);
    ASSERT_TRUE(std::regex_match(out, m, shape)) << label;
    EXPECT_EQ(std::stoll(m[3]) & 0xFF, status) << label;
  }
}

// The static builds print what the dynamic one prints, at the real clock, for every command line
// above: each end-to-end row in its zone and each hostile row in its environment.
TEST(OtherBuilds, SameOutputForEveryCommandLine) {
  if (!qx_test::haveOtherBuilds()) GTEST_SKIP() << "QX_SAME_OUTPUT is unset";
  for (const Case& c : kCases) {
    qx_test::expectSameOutput(c.args, {std::string("TZ=") + c.at->tz},
                              "case " + std::to_string(&c - kCases));
  }
  for (const Hostile& r : kHostile) {
    qx_test::expectSameOutput(r.args, r.env, "hostile row " + std::to_string(&r - kHostile));
  }
}

}  // namespace
