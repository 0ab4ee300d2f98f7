// Every zone of the machine's tz database against GNU date as the outside oracle: the clock line
// and the count of the real binary, run under libfaketime, must agree with what date prints for
// the same instant in the same zone.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"

namespace {

namespace fs = std::filesystem;

// clang-format off
const long long kInstants[] = {
    1705320000,  // 15 January 2024, 12:00 UTC: winter in the north.
    1721044800,  // 15 July 2024, 12:00 UTC: summer in the north.
    2372745600,  // 10 March 2045: after the 32-bit time_t limit of 2038.
};
// clang-format on
constexpr long long kScanFrom = 1672531200, kScanTo = 1767225600;  // 2023-01-01 .. 2026-01-01 UTC.
constexpr int kShards = 4;

// The zone files, without the posix/ and right/ copies and without the tables and other files
// that are not zones (every zone file starts with the magic "TZif").
std::vector<std::string> allZones() {
  const fs::path root = "/usr/share/zoneinfo";
  std::vector<std::string> zones;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
    const auto rel = fs::relative(it->path(), root).string();
    if (it->is_directory() && (rel == "posix" || rel == "right")) it.disable_recursion_pending();
    char magic[4] = {};
    if (it->is_regular_file() && std::ifstream(it->path()).read(magic, 4) &&
        std::string(magic, 4) == "TZif") {
      zones.push_back(rel);
    }
  }
  std::sort(zones.begin(), zones.end());
  return zones;
}

// The last second before the zone's first change into or out of daylight saving in 2023..2025,
// or 0 if it has none. Found with this process's C library; only the oracle judges the result.
long long lastSecondBeforeDstChange(const std::string& zone) {
  setenv("TZ", zone.c_str(), 1);
  tzset();
  auto isDst = [](long long t) {
    const time_t tt = static_cast<time_t>(t);
    tm local{};
    return localtime_r(&tt, &local) != nullptr && local.tm_isdst > 0;
  };
  for (long long day = kScanFrom; day + 86400 <= kScanTo; day += 86400) {
    if (isDst(day) == isDst(day + 86400)) continue;
    long long lo = day, hi = day + 86400;  // isDst(lo) differs from isDst(hi); narrow to 1 s.
    while (hi - lo > 1) (isDst((lo + hi) / 2) == isDst(lo) ? lo : hi) = (lo + hi) / 2;
    return lo;
  }
  return 0;
}

// GNU date's view: line 0 holds local midnight of 1 January 2023, then one line per instant with
// the clock line's date and time.
std::vector<std::string> oracle(const std::string& zone, const std::vector<long long>& instants) {
  char path[] = "/tmp/qx_dates_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return {};
  std::string input = "2023-01-01 00:00:00\n";
  for (long long t : instants) input += "@" + std::to_string(t) + "\n";
  const bool written = write(fd, input.data(), input.size()) == static_cast<ssize_t>(input.size());
  close(fd);
  const auto [out, status] = qx_test::runProcess(
      "/usr/bin/date", {"date", "-f", path, "+%s %d.%b.%Y  %H:%M.%S"}, {"TZ=" + zone, "LC_ALL=C"});
  unlink(path);
  std::vector<std::string> lines;
  std::istringstream stream(out);
  for (std::string line; written && status == 0 && std::getline(stream, line);) {
    lines.push_back(line);
  }
  return lines;
}

class ZoneSweep : public testing::TestWithParam<int> {};

TEST_P(ZoneSweep, ClockLineAndCountAgreeWithGnuDate) {
  const char* savedTz = getenv("TZ");
  const std::string restoreTz = savedTz ? savedTz : "";
  const auto zones = allZones();
  ASSERT_GT(zones.size(), 300u) << "the tz database looks incomplete";
  for (size_t z = static_cast<size_t>(GetParam()); z < zones.size(); z += kShards) {
    const std::string& zone = zones[z];
    std::vector<long long> instants(std::begin(kInstants), std::end(kInstants));
    if (const long long t = lastSecondBeforeDstChange(zone)) instants.push_back(t);
    const auto dates = oracle(zone, instants);
    ASSERT_EQ(dates.size(), instants.size() + 1) << zone << ": date gave no answer";
    const long long reference = std::stoll(dates[0]);
    for (size_t i = 0; i < instants.size(); ++i) {
      const long long t = instants[i];
      const auto count = static_cast<int32_t>(static_cast<uint32_t>(t - reference));
      const std::string expected = "The time is " +
                                   dates[i + 1].substr(dates[i + 1].find(' ') + 1) +
                                   "\nSeconds since 1.1.2023: " + std::to_string(count) +
                                   "\nReturning Exit Code " + std::to_string(count) + "\n";
      // Leak checking at exit triples the run time of the sanitizer build; nothing here allocates.
      const auto [out, status] =
          qx_test::runProcess(QX_TICKER, {"qxConsoleTicker"},
                              {"TZ=" + zone, "FAKETIME_FMT=%s", "FAKETIME=" + std::to_string(t),
                               "LD_PRELOAD=" QX_PRELOAD, "ASAN_OPTIONS=detect_leaks=0"});
      const auto clock = out.find("The time is ");
      EXPECT_EQ(clock == std::string::npos ? out : out.substr(clock), expected)
          << "zone " << zone << " at " << t;
      EXPECT_EQ(status, count & 0xFF) << "zone " << zone << " at " << t;
    }
  }
  if (savedTz)
    setenv("TZ", restoreTz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

INSTANTIATE_TEST_SUITE_P(Shards, ZoneSweep, testing::Range(0, kShards));

}  // namespace
