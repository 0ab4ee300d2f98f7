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
const Instant sample{1674503135, "23.Jan.2023  19:45.35\nSeconds since 1.1.2023: 1971935"};
const Instant epoch{0, "-.- 00:00.00\nSeconds since 1.1.2023: 2000000000"};
// The first second beyond a 32-bit time_t.
const Instant y2038next{2147483648, "19.Jan.2038  03:14.08\nSeconds since 1.1.2023: 474952448"};
const Instant y2100{4102444800, "01.Jan.2100  00:00.00\nSeconds since 1.1.2023: -1865053696"};
// Zones, each at one instant as GNU date shows it there: daylight saving north and south and the
// last second before it starts; Dublin, whose daylight-saving flag is set in winter; offsets of
// half and three quarter hours, west and east; a day ahead of UTC and one behind; a zone's rule
// beyond 2037.
const Instant berlin{kT, "15.Jul.2023  18:57.40\nSeconds since 1.1.2023: 16912660"};
const Instant berlinGap{1679792399, "26.Mar.2023  01:59.59\nSeconds since 1.1.2023: 7264799"};
const Instant dublin{1705320000, "15.Jan.2024  12:00.00\nSeconds since 1.1.2023: 32788800"};
const Instant stJohns{1705276800, "14.Jan.2024  20:30.00\nSeconds since 1.1.2023: 32733000"};
const Instant kathmandu{1705320000, "15.Jan.2024  17:45.00\nSeconds since 1.1.2023: 32809500"};
const Instant kiritimati{1721044800, "16.Jul.2024  02:00.00\nSeconds since 1.1.2023: 48564000"};
const Instant chatham{1705320000, "16.Jan.2024  01:45.00\nSeconds since 1.1.2023: 32838300"};
const Instant newYork{2383732800, "15.Jul.2045  08:00.00\nSeconds since 1.1.2023: 711183600"};

std::string err(const std::string& last, const std::string& arg) {
  return "Last value: " + last + "\nError: Parameter is not a time delta " + arg + "\n";
}
std::string diff(const std::string& last, const std::string& text, const std::string& secs) {
  return "Last value: " + last + "\nDifference: " + text + "\nDifference seconds: " + secs + "\n\n";
}

std::string bytes(int from, int to) {  // The characters from .. to, counting up or down.
  std::string s;
  for (int b = from, step = from < to ? 1 : -1; b != to + step; b += step) s += char(b);
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
    {&T, "UTC0", {p}, "", all},
    {&T, "UTC0", {}, "", all},
    {&T, "UTC0", {"-b2", "5", "6"}, "", "3 (byte 2)"},
    {&T, "UTC0", {p, "12", "-b3", "-b3"}, "", "2 (byte 3)"},
    {&T, "UTC0", {p, "-b4", "-b1"}, "", "4 (byte 1)"},
    {&T, "UTC0", {p, "-b5", "-B1", "-b10", "b1", "-b1 "}, err("0", "-b5"), all},
    {&T, "UTC0", {p, "-5"}, err("-5", "-5"), all},
    {&T, "UTC0", {p, "99999999999999999999", "1"}, err("255", "99999999999999999999"), all},
    {&T, "UTC0", {p, "", "5"}, "", all},
    {&T, "UTC0", {p, "4", "3", "2", "1", "9", "9"}, diff(all, "00:00.00", "0"), all},
    {&T, "UTC0", {p, "255", "255", "255", "255"}, diff("-1", "-1188349:-30.-35", "16909061"), all},
    {&T, "UTC0", {p, "abc", " +010", "0x1"}, diff("2560", "195d 16h", "16906500"), all},
    {&T, "UTC0", {p, "1", "", "1"}, diff("65537", "194d 22h", "16843523"), all},
    {&T, "UTC0", {p, "16909065"}, diff("16909065", "00:00.-5", "-5"), all},
    {&minusOne, "UTC0", {p}, "", "-1"},
    {&minusOne, "UTC0", {p, "-b3"}, "", "255 (byte 3)"},
    {&sample, "UTC0", {p, "10", "20", "30", "0"}, diff("1971210", "00:12.05", "725"), "1971935"},
    {&epoch, "UTC0", {p}, "", "2000000000"},
    {&y2038next, "UTC0", {p, "4", "3", "2", "1"}, diff(all, "5301d 10h", "458043388"), "474952448"},
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
    {&T, "UTC0", {p, bytes(255, 1)}, err("0", bytes(255, 156)), all},
    {&T, "UTC0", {p, "%n%s%99999d"}, err("0", "%n%s%99999d"), all},
    {&T,
     "UTC0",
     {p, "-123456789012345678901234567890", "+99999999999999999999"},
     diff("-256", "-2562047788010518:-28.-12", "16909316"),
     all},
    {&berlin, "Europe/Berlin", {p}, "", "16912660"},
    {&berlinGap, "Europe/Berlin", {p}, "", "7264799"},
    {&dublin, "Europe/Dublin", {p}, "", "32788800"},
    {&stJohns, "America/St_Johns", {p}, "", "32733000"},
    {&kathmandu, "Asia/Kathmandu", {p}, "", "32809500"},
    {&kiritimati, "Pacific/Kiritimati", {p}, "", "48564000"},
    {&chatham, "Pacific/Chatham", {p}, "", "32838300"},
    {&newYork, "America/New_York", {p}, "", "711183600"},
    {&T, "", {p, "-b2"}, "", "3 (byte 2)"},
    {&T, "Nowhere/Bogus", {p, "7"}, diff("7", "195d 16h", "16909053"), all},
    {&T, std::string(2000, 'A'), {p}, "", all},
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
// scripts read it as data. Under libfaketime a closed standard
// output cannot be tried: the library opens a file of its own, which takes descriptor 1.
TEST(EndToEnd, WriteErrorIsReportedAndKeepsTheStatus) {
  const std::pair<const char*, std::string> rows[] = {
      {"/dev/full", "No space left on device"},
      {"", "Bad file descriptor"},
      {"|", "Broken pipe"},
  };
  for (const auto& [stdoutPath, reason] : rows) {
    if (*stdoutPath == '\0' && qx_test::fromEnv("QX_CLOCK") != "testclock") continue;
    const auto result = qx_test::runTickerAt(kT, {p, "-b3"}, {"TZ=UTC0"}, stdoutPath);
    EXPECT_EQ(result, (qx_test::Result{"", "qxConsoleTicker: write error: " + reason + "\n", 2}));
  }
}

}  // namespace
