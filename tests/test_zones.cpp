// Every zone of the machine's tz database against GNU date as the outside oracle: the clock line,
// the count and the exit status of the real binary under libfaketime must agree with what date
// prints for the same instant in the same zone.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run.h"

namespace {

// Winter and summer in the north, and a moment after the 32-bit time_t limit of 2038; each
// zone with daylight saving adds the last second before its first change in 2023..2025.
const long long kInstants[] = {1705320000, 1721044800, 2372745600};
constexpr long long kScanFrom = 1672531200, kScanTo = 1767225600, kDay = 86400;
constexpr int kShards = 4;

// Every zone that the tz database defines ("Z" lines of tzdata.zi). The other names are links,
// whose files repeat a zone's bytes, and posix/ and right/ repeat the zones.
std::vector<std::string> allZones() {
  std::vector<std::string> zones;
  std::ifstream source("/usr/share/zoneinfo/tzdata.zi");
  for (std::string kind, rest; source >> kind && std::getline(source, rest);) {
    if (kind == "Z") zones.push_back(rest.substr(1, rest.find(' ', 1) - 1));
  }
  return zones;
}

// Found with this process's C library; only the oracle judges the result. TZ is the zone's.
long long lastSecondBeforeDstChange() {
  auto isDst = [](long long t) {
    const auto tt = static_cast<time_t>(t);
    tm local{};
    return localtime_r(&tt, &local) != nullptr && local.tm_isdst > 0;
  };
  for (long long lo = kScanFrom, hi = lo + kDay; hi <= kScanTo; lo = hi, hi += kDay) {
    if (isDst(lo) == isDst(hi)) continue;
    while (hi - lo > 1) (isDst((lo + hi) / 2) == isDst(lo) ? lo : hi) = (lo + hi) / 2;
    return lo;
  }
  return 0;
}

class ZoneSweep : public testing::TestWithParam<int> {};

TEST_P(ZoneSweep, ClockLineAndCountAgreeWithGnuDate) {
  const auto zones = allZones();
  ASSERT_GT(zones.size(), 300U) << "the tz database looks incomplete";
  const std::string dates = testing::TempDir() + "qx_dates_" + std::to_string(getpid());
  for (auto z = static_cast<size_t>(GetParam()); z < zones.size(); z += kShards) {
    const std::string& zone = zones[z];
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
                                  .first);
    std::string line;
    ASSERT_TRUE(std::getline(oracle, line)) << zone << ": date gave no answer";
    const long long reference = std::stoll(line);
    for (const long long t : instants) {
      std::getline(oracle, line);
      const auto count = static_cast<int32_t>(static_cast<uint32_t>(t - reference));
      const std::string expected = "The time is " + line.substr(line.find(' ') + 1) +
                                   "\nSeconds since 1.1.2023: " + std::to_string(count) +
                                   "\nReturning Exit Code " + std::to_string(count) + "\n";
      // Leak checking at exit triples the run time of the sanitizer build; nothing here allocates.
      const auto [out, status] = qx_test::runTickerAt(
          t, {"qxConsoleTicker"}, {"TZ=" + zone, "ASAN_OPTIONS=detect_leaks=0"});
      EXPECT_EQ(out.substr(std::min(out.find("The time is "), out.size())), expected)
          << "zone " << zone << " at " << t;
      EXPECT_EQ(status, count & 0xFF) << "zone " << zone << " at " << t;
    }
  }
  unlink(dates.c_str()), unsetenv("TZ"), tzset();
}

// The static builds print what the dynamic one prints in every zone, at the real clock.
TEST_P(ZoneSweep, OtherBuildsPrintTheSame) {
  if (!qx_test::haveOtherBuilds()) GTEST_SKIP() << "QX_SAME_OUTPUT is unset";
  const auto zones = allZones();
  for (auto z = static_cast<size_t>(GetParam()); z < zones.size(); z += kShards) {
    qx_test::expectSameOutput({"qxConsoleTicker"}, {"TZ=" + zones[z]}, "zone " + zones[z]);
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, ZoneSweep, testing::Range(0, kShards));

}  // namespace
