// The tool as scripts see it: the whole standard output, an empty standard error and the exit
// status of the build under test (see run.h), for ordinary and hostile command lines.
#include <gtest/gtest.h>

#include <string>

#include "run.h"

namespace {

using qx_test::kBanner;
using qx_test::kT;
using qx_test::Strings;

const std::string p = "qxConsoleTicker";

// A frozen instant, and the clock and count lines that the tool prints there in UTC.
struct Instant {
  long long epoch;
  std::string clockAndCount;
};
const Instant T{kT, "15.Jul.2023  16:57.40\nSeconds since 1.1.2023: 16909060"};
const Instant minusOne{1672531199, "31.Dec.2022  23:59.59\nSeconds since 1.1.2023: -1"};
const Instant epoch{0, "-.- 00:00.00\nSeconds since 1.1.2023: 2000000000"};
// Beyond a 32-bit time_t, where the count wraps to a negative number.
const Instant y2100{4102444800, "01.Jan.2100  00:00.00\nSeconds since 1.1.2023: -1865053696"};
// Zones, each at one instant as GNU date shows it there: the last second before daylight saving
// starts; Dublin, whose daylight-saving flag is set in winter; St John's, half an hour west and a
// day behind; Chatham, in summer time three quarters east and a day ahead; New York beyond 2037.
const Instant berlinGap{1679792399, "26.Mar.2023  01:59.59\nSeconds since 1.1.2023: 7264799"};
const Instant dublin{1705320000, "15.Jan.2024  12:00.00\nSeconds since 1.1.2023: 32788800"};
const Instant stJohns{1705276800, "14.Jan.2024  20:30.00\nSeconds since 1.1.2023: 32733000"};
const Instant chatham{1705320000, "16.Jan.2024  01:45.00\nSeconds since 1.1.2023: 32838300"};
const Instant newYork{2383732800, "15.Jul.2045  08:00.00\nSeconds since 1.1.2023: 711183600"};

std::string err(const std::string& last, const std::string& arg) {
  return "Last value: " + last + "\nError: Parameter is not a time delta " + arg + "\n";
}
std::string diff(const std::string& last, const std::string& text, const std::string& secs) {
  return "Last value: " + last + "\nDifference: " + text + "\nDifference seconds: " + secs + "\n\n";
}

std::string bytes(int from, int to) {  // The characters from .. to.
  std::string s;
  for (int b = from; b <= to; ++b) s += char(b);
  return s;
}

// The run's TZ, the report lines and what follows "Returning Exit Code "; the exit status is the
// low 8 bits of the number that the exit line shows. Malformed or missing zones read as UTC.
struct Case {
  const Instant* at;
  std::string tz;
  Strings args;
  std::string report, exitLine;
};
const std::string all = "16909060";
const Case kCases[] = {
    {&T, "UTC0", {"-b2", "5", "6"}, "", "3 (byte 2)"},
    {&T, "UTC0", {p, "-b4", "-b1"}, "", "4 (byte 1)"},
    {&T, "UTC0", {p, "-b5", "-B1", "-b10", "b1", "-b1 "}, err("0", "-b5"), all},
    {&T, "UTC0", {p, "99999999999999999999", "1"}, err("255", "99999999999999999999"), all},
    {&T, "UTC0", {p, "", "5"}, "", all},
    {&T, "UTC0", {p, "4", "3", "2", "1", "9", "9"}, diff(all, "00:00.00", "0"), all},
    {&T, "UTC0", {p, "0x1", "", " +010"}, diff("655360", "188d 2h", "16253700"), all},
    {&minusOne, "UTC0", {p, "12", "-b3", "-b3"}, "", "255 (byte 3)"},
    {&epoch, "UTC0", {}, "", "2000000000"},
    {&y2100, "UTC0", {p, "-b4"}, "", "144 (byte 4)"},
    // Hostile input. The longest argument Linux passes, cut at 100 characters and clamped to
    // the largest 64-bit value, whose difference is the longest duration text.
    {&T,
     "UTC0",
     {p, std::string(131071, '7')},
     diff("-1", "-2562047788010518:-32.-27", "16909061"),
     all},
    {&T, "UTC0", Strings(10000, "-b"), err("0", "-b"), all},
    {&T, "UTC0", {p, bytes(1, 255)}, err("0", bytes(1, 100)), all},
    {&T, "UTC0", {p, "%n%s%99999d"}, err("0", "%n%s%99999d"), all},
    {&T,
     "UTC0",
     {p, "-123456789012345678901234567890", "+99999999999999999999"},
     diff("-256", "-2562047788010518:-28.-12", "16909316"),
     all},
    {&berlinGap, "Europe/Berlin", {p}, "", "7264799"},
    {&dublin, "Europe/Dublin", {p}, "", "32788800"},
    {&stJohns, "America/St_Johns", {p}, "", "32733000"},
    {&chatham, "Pacific/Chatham", {p}, "", "32838300"},
    {&newYork, "America/New_York", {p}, "", "711183600"},
    {&minusOne, "", {p}, "", "-1"},
    {&T, "Nowhere/Bogus", {p, "7"}, diff("7", "195d 16h", "16909053"), all},
};

TEST(EndToEnd, WholeOutputEmptyStderrAndExitStatus) {
  for (const Case& c : kCases) {
    const auto result = qx_test::runTickerAt(c.at->epoch, c.args, {"TZ=" + c.tz});
    const qx_test::Result expected{kBanner + "The time is " + c.at->clockAndCount + "\n" +
                                       c.report + "Returning Exit Code " + c.exitLine + "\n",
                                   "",
                                   static_cast<int>(std::stoll(c.exitLine) & 0xFF)};
    EXPECT_EQ(result, expected) << "case " << &c - kCases;
  }
}

// Output that cannot be written, to a full disk, a closed descriptor or a reader that has left,
// is reported on standard error, and the exit status stays the chosen byte of the count, since
// scripts read it as data.
TEST(EndToEnd, WriteErrorIsReportedAndKeepsTheStatus) {
  const std::pair<const char*, std::string> rows[] = {
      {"/dev/full", "No space left on device"},
      {"", "Bad file descriptor"},
      {"|", "Broken pipe"},
  };
  for (const auto& [stdoutPath, reason] : rows) {
    const auto result = qx_test::runTickerAt(kT, {p, "-b3"}, {"TZ=UTC0"}, stdoutPath);
    EXPECT_EQ(result, (qx_test::Result{"", "qxConsoleTicker: write error: " + reason + "\n", 2}));
  }
}

}  // namespace
