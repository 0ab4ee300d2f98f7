// The tool as scripts see it: whole standard output and exit status of the real binary.
#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>

#include "qx_version.h"
#include "run.h"

namespace {

using qx_test::Strings;

const std::string kBanner =
    "________________________________ qxConsoleTicker __________________________________\n"
    "   " QX_VERSION_TEXT "   " QX_COPYRIGHT_TEXT "\n";
const std::string p = "qxConsoleTicker", x150(150, 'x'), x100(100, 'x');

// A frozen instant in one zone, and the clock and count lines that the tool prints there.
struct Instant {
  long long epoch;
  std::string tz;
  std::string clockAndCount;
};
// At T the count is 0x01020304 in UTC, so every byte differs.
const Instant T{1689440260, "UTC0", "15.Jul.2023  16:57.40\nSeconds since 1.1.2023: 16909060"};
const Instant minusOne{1672531199, "UTC0", "31.Dec.2022  23:59.59\nSeconds since 1.1.2023: -1"};
const Instant sample{1674503135, "UTC0", "23.Jan.2023  19:45.35\nSeconds since 1.1.2023: 1971935"};
const Instant epoch{0, "UTC0", "-.- 00:00.00\nSeconds since 1.1.2023: 2000000000"};
const Instant y2100{
    4102444800, "UTC0", "01.Jan.2100  00:00.00\nSeconds since 1.1.2023: -1865053696"};

std::string err(const std::string& last, const std::string& arg) {
  return "Last value: " + last + "\nError: Parameter is not a time delta " + arg + "\n";
}
std::string diff(const std::string& last, const std::string& text, const std::string& secs) {
  return "Last value: " + last + "\nDifference: " + text + "\nDifference seconds: " + secs + "\n\n";
}

// The report lines and what follows "Returning Exit Code "; the exit status is the low 8 bits of
// the number that the exit line shows.
struct Case {
  const Instant* at;
  Strings args;
  std::string report, exitLine;
};
const std::string all = "16909060";
const Case kCases[] = {
    {&T, {p}, "", all},
    {&T, {}, "", all},
    {&T, {"-b2", "5", "6"}, "", "3 (byte 2)"},
    {&T, {p, "12", "-b3", "-b3"}, "", "2 (byte 3)"},
    {&T, {p, "-b4", "-b1"}, "", "4 (byte 1)"},
    {&T, {p, "-b5", "-B1", "-b10", "b1", "-b1 "}, err("0", "-b5"), all},
    {&T, {p, x150}, err("0", x100), all},
    {&T, {p, "-5"}, err("-5", "-5"), all},
    {&T, {p, "99999999999999999999", "1"}, err("255", "99999999999999999999"), all},
    {&T, {p, "", "5"}, "", all},
    {&T, {p, "4", "3", "2", "1", "9", "9"}, diff(all, "00:00.00", "0"), all},
    {&T, {p, "255", "255", "255", "255"}, diff("-1", "-1188349:-30.-35", "16909061"), all},
    {&T, {p, "abc", " +010", "0x1"}, diff("2560", "195d 16h", "16906500"), all},
    {&T, {p, "1", "", "1"}, diff("65537", "194d 22h", "16843523"), all},
    {&T, {p, "16909065"}, diff("16909065", "00:00.-5", "-5"), all},
    {&minusOne, {p}, "", "-1"},
    {&minusOne, {p, "-b3"}, "", "255 (byte 3)"},
    {&sample, {p, "10", "20", "30", "0"}, diff("1971210", "00:12.05", "725"), "1971935"},
    {&epoch, {p}, "", "2000000000"},
    {&y2100, {p, "-b4"}, "", "144 (byte 4)"},
};

TEST(EndToEnd, WholeOutputAndExitStatus) {
  for (const Case& c : kCases) {
    const auto [out, status] = qx_test::runTickerAt(c.at->epoch, c.args, {"TZ=" + c.at->tz});
    EXPECT_EQ(out,
              kBanner + "The time is " + c.at->clockAndCount + "\n" + c.report +
                  "Returning Exit Code " + c.exitLine + "\n")
        << "case " << &c - kCases;
    EXPECT_EQ(status, std::stoll(c.exitLine) & 0xFF) << "case " << &c - kCases;
  }
}

// Output that cannot be written is reported on standard error, and the exit status stays the
// chosen byte of the count, since scripts read it as data. libfaketime opens a file of its own,
// which would take a closed descriptor 1, so these runs read the real clock; byte 4 of the count
// changes once in 194 days.
TEST(EndToEnd, WriteErrorIsReportedAndKeepsTheStatus) {
  const std::pair<const char*, std::string> rows[] = {
      {"/dev/full", "No space left on device"},
      {"", "Bad file descriptor"},
  };
  for (const auto& [stdoutPath, reason] : rows) {
    const auto [err, status] = qx_test::runProcess(QX_TICKER, {p, "-b4"}, {"TZ=UTC0"}, stdoutPath);
    EXPECT_EQ(err, "qxConsoleTicker: write error: " + reason + "\n");
    EXPECT_EQ(status, ((std::time(nullptr) - 1672531200) >> 24) & 0xFF);
  }
}

std::string allBytes() {
  std::string s;
  for (int b = 1; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

// Hostile environments and command lines. Rows without a TZ leave it unset.
const std::pair<Strings, Strings> kHostile[] = {
    {{"TZ=UTC0"}, {p, std::string(131071, '7')}},
    {{"TZ=UTC0"}, Strings(10000, "-b")},
    {{"TZ=UTC0"}, {p, allBytes()}},
    {{"TZ=UTC0"}, {p, allBytes().substr(100), "1", "2", "3"}},
    {{"TZ=UTC0"}, {p, "%n%s%x", "%n", "%s%s%s%s", "%99999d"}},
    {{"TZ=UTC0"}, {p, "-123456789012345678901234567890", "+99999999999999999999"}},
    {{"TZ=UTC0"}, {""}},
    {{}, {p}},
    {{"TZ="}, {p, "-b2"}},
    {{"TZ=Nowhere/Bogus"}, {p, "7"}},
    {{"TZ=" + std::string(2000, 'A')}, {p}},
    {{"TZ=:/nonexistent/zone/file"}, {p, "-b4"}},
};

// Whatever the input, a run ends by itself and prints the banner, the clock line, the count line,
// possibly a report, and the exit line, in that order, and the exit line agrees with the status.
TEST(EndToEnd, HostileInputKeepsTheOutputWellFormed) {
  const std::regex shape(
      "________________________________ qxConsoleTicker __________________________________\n"
      R"(   [^\n]+\nThe time is [^\n]+\nSeconds since 1\.1\.2023: -?[0-9]+\n)"
      R"((Last value: -?[0-9]+\n(Error: Parameter is not a time delta [\s\S]*\n|)"
      R"(Difference: [^\n]+\nDifference seconds: -?[0-9]+\n\n))?)"
      R"(Returning Exit Code (-?[0-9]+)( \(byte [1-4]\))?\n)");
  for (const auto& row : kHostile) {
    const auto [out, status] = qx_test::runTickerAt(1701807669, row.second, row.first);
    std::smatch m;
    const std::string label = "row " + std::to_string(&row - kHostile) + ":\n" + out.substr(0, 400);
    ASSERT_TRUE(std::regex_match(out, m, shape)) << label;
    EXPECT_EQ(std::stoll(m[3]) & 0xFF, status) << label;
  }
}

// The static builds print what the dynamic one prints, at the real clock, for every command line
// above: each end-to-end row in its zone and each hostile row in its environment.
TEST(OtherBuilds, SameOutputForEveryCommandLine) {
  if (!qx_test::haveOtherBuilds()) GTEST_SKIP() << "QX_SAME_OUTPUT is unset";
  for (const Case& c : kCases) {
    qx_test::expectSameOutput(c.args, {"TZ=" + c.at->tz}, "case " + std::to_string(&c - kCases));
  }
  for (const auto& [env, args] : kHostile) {
    qx_test::expectSameOutput(args, env, "hostile " + testing::PrintToString(env));
  }
}

}  // namespace
