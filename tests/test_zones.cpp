// Every zone of the tz database against GNU date as the oracle: clock line, count and exit status
// must agree with what date prints for the same instant in the same zone.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "run.h"

namespace {

// Winter, summer and after 2038; a zone with daylight saving adds the last second before its
// first change in 2023..2025.
const long long kInstants[] = {1705320000, 1721044800, 2372745600};
constexpr long long kScanFrom = 1672531200, kScanTo = 1767225600, kDay = 86400;

// Names that musl reads as POSIX rules, where glibc reads a zone file; ":name" names the file.
const std::set<std::string> kMuslRules = {
    "EST5EDT", "CST6CDT", "MST7MDT", "PST8PDT", "GB-Eire", "NZ-CHAT", "W-SU"};

// Every zone of tzdata.zi ("Z" lines) and every link name without a '/' ("L" lines), which a C
// library may read as a rule; other links, posix/ and right/ repeat the zones.
std::vector<std::string> allZones() {
  std::vector<std::string> zones;
  std::ifstream source("/usr/share/zoneinfo/tzdata.zi");
  for (std::string kind, target, name; source >> kind;) {
    if (kind == "Z" && source >> name) zones.push_back(name);
    if (kind == "L" && source >> target >> name && name.find('/') == std::string::npos) {
      zones.push_back(name);
    }
    source.ignore(1 << 20, '\n');
  }
  return zones;
}

// In the zone that TZ names, by this process's C library; only the oracle judges results.
tm localAt(long long t) {
  const auto tt = static_cast<time_t>(t);
  tm local{};
  (void)localtime_r(&tt, &local);
  return local;
}

long long lastSecondBeforeDstChange() {
  auto isDst = [](long long t) { return localAt(t).tm_isdst > 0; };
  for (long long lo = kScanFrom, hi = lo + kDay; hi <= kScanTo; lo = hi, hi += kDay) {
    if (isDst(lo) == isDst(hi)) continue;
    while (hi - lo > 1) (isDst((lo + hi) / 2) == isDst(lo) ? lo : hi) = (lo + hi) / 2;
    return lo;
  }
  return 0;
}

TEST(ZoneSweep, ClockLineAndCountAgreeWithGnuDate) {
  const auto zones = allZones();
  ASSERT_GT(zones.size(), 400U) << "the tz database looks incomplete";
  const std::string dates = testing::TempDir() + "qx_dates_" + std::to_string(getpid());
  for (const std::string& zone : zones) {
    setenv("TZ", zone.c_str(), 1), tzset();
    std::vector<long long> instants(std::begin(kInstants), std::end(kInstants));
    if (const long long t = lastSecondBeforeDstChange()) instants.push_back(t);
    // GNU date answers for local midnight of 1 January 2023 first, then for each instant.
    {
      std::ofstream input(dates);
      input << "2023-01-01 00:00:00\n";
      for (const long long t : instants) input << '@' << t << '\n';
    }
    std::istringstream oracle(qx_test::runProcess("/usr/bin/date",
                                                  {"date", "-f", dates, "+%s %d.%b.%Y  %H:%M.%S"},
                                                  {"TZ=" + zone, "LC_ALL=C"})
                                  .out);
    std::string line;
    ASSERT_TRUE(std::getline(oracle, line)) << zone << ": date gave no answer";
    const long long reference = std::stoll(line);
    const bool rule = qx_test::fromEnv("QX_LIBC") == "musl" && kMuslRules.contains(zone);
    bool differs = false;
    for (const long long t : instants) {
      std::getline(oracle, line);
      const auto count = static_cast<int32_t>(static_cast<uint32_t>(t - reference));
      const qx_test::Result expected{qx_test::kBanner + "The time is " +
                                         line.substr(line.find(' ') + 1) +
                                         "\nSeconds since 1.1.2023: " + std::to_string(count) +
                                         "\nReturning Exit Code " + std::to_string(count) + "\n",
                                     "",
                                     count & 0xFF};
      // Leak checking at exit triples the run time of the sanitizer build; nothing here allocates.
      const auto run = [&](const std::string& tz) {
        return qx_test::runTickerAt(
            t, {"qxConsoleTicker"}, {"TZ=" + tz, "ASAN_OPTIONS=detect_leaks=0"});
      };
      EXPECT_EQ(run(rule ? ":" + zone : zone), expected) << "zone " << zone << " at " << t;
      differs = differs || (rule && run(zone) != expected);
    }
    EXPECT_EQ(differs, rule) << zone << ": musl reads it as a rule, and the manual says so";
  }
  unlink(dates.c_str()), unsetenv("TZ"), tzset();
}

}  // namespace
