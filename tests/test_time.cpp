#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>

#include "QX_DataTypes_time.h"

using qx::_qxTime;

namespace {

// Sets TZ for one scope and restores the caller's TZ, or its absence, afterwards. The offset is
// reset on both sides, since it belongs to the zone it was measured in.
struct ZoneGuard {
  explicit ZoneGuard(const char* tz) { apply(tz); }
  ~ZoneGuard() { apply(saved ? saved->c_str() : nullptr); }
  static void apply(const char* tz) {
    tz != nullptr ? setenv("TZ", tz, 1) : unsetenv("TZ");
    tzset();
    _qxTime::qxTime_Start_OffSet = -1;
  }
  const char* const outer = std::getenv("TZ");
  const std::optional<std::string> saved = outer ? std::optional<std::string>(outer) : std::nullopt;
};

_qxTime at(long long secs) {
  _qxTime t;
  t.epochSecs = secs;
  return t;
}

// POSIX TZ strings count west as positive: "XXX-1" is UTC+1.
// clang-format off
TEST(TimeValue, FromDateClampsMapsTheYearAndGivesLocalMidnight) {
  const struct { const char* tz; int day, month, year; long long epoch; } rows[] = {
      {"UTC0", 1, 1, 2023, 1672531200}, {"UTC0", 0, 0, 23, 1672531200}, {"XXX-1", 1, 1, 2023, 1672527600},
      {"Asia/Kolkata", 1, 1, 2023, 1672511400}, {"UTC0", 40, 13, -5, 1419984000}, {"UTC0", 31, 4, 2023, 1682899200},
      {"UTC0", 1, 1, 5000, 32503680000}, {"UTC0", 1, 1, INT_MAX, 32503680000}, {"UTC0", 1, 1, 1970, 0},
      {"UTC0", 1, 1, 1969, -31536000}, {"Europe/Berlin", 1, 7, 2023, 1688162400}, {"Australia/Sydney", 1, 1, 2023, 1672491600},
      {"America/Sao_Paulo", 4, 11, 2018, 1541296800},  // Midnight skipped: 23:00 of the day before.
  };
  for (const auto& r : rows) {
    ZoneGuard zone(r.tz);
    _qxTime t;
    t.fromDate(r.day, r.month, r.year);
    EXPECT_EQ(t.epochSecs, r.epoch) << r.tz << ' ' << r.day << '.' << r.month << '.' << r.year;
  }
}

TEST(TimeValue, SecsToHandlesUnsetInvalidAndReducesTo32Bits) {
  const long long t = 1700000000;
  const struct { long long from, to; int secs; } rows[] = {
      {0, t, 0}, {-1, t, 0}, {t, 0, 2000000000}, {t, -1, 2000000000}, {t, t + 90, 90}, {t + 90, t, -90},
      {1, 1 + (1LL << 32) + 7, 7}, {1, 1 + (1LL << 31), INT_MIN}, {1, LLONG_MAX, -2},
  };
  for (const auto& r : rows) EXPECT_EQ(at(r.from).secsTo(at(r.to)), r.secs) << r.from << "->" << r.to;
}

// The first time-of-day text measures the offset, folded into half a day around 0.
TEST(ClockText, OffsetTimeAndDateTexts) {
  const struct { const char* tz; long long secs; int offset; const char* time; const char* date; } rows[] = {
      {"UTC0", 0, 0, "00:00.00", "-.-"}, {"XXX-1", 0, 3600, "01:00.00", "-.-"}, {"XXX+5", 0, -18000, "-5:00.00", "-.-"},
      {"XXX-14", 0, -36000, "-10:00.00", "-.-"}, {"XXX-13", -1, -39600, "-11:00.-1", "--.-"},
      {"XXX-5:45:30", 1672531200, 20730, "05:45.30", "01.Jan.2023 "}, {"UTC0", 1672563903, 0, "09:05.03", "01.Jan.2023 "},
      {"XXX-1", 1672615800, 3600, "00:30.00", "02.Jan.2023 "}, {"CET-1", 1701807669, 3600, "21:21.09", "05.Dec.2023 "},
      {"UTC0", 32503680000, 0, "00:00.00", "01.Jan.3000 "},
      {"UTC0", LLONG_MAX, 0, "15:30.07", "--.-"},  // Beyond what the C library's record can hold.
  };
  for (const auto& r : rows) {
    ZoneGuard zone(r.tz);
    EXPECT_STREQ(at(r.secs).asQX8StringHourMinSec().text, r.time) << r.tz << ' ' << r.secs;
    EXPECT_EQ(_qxTime::qxTime_Start_OffSet, r.offset) << r.tz;
    EXPECT_STREQ(at(r.secs).asQX8StringDateMonthYear().text, r.date) << r.tz << ' ' << r.secs;
    _qxTime::qxTime_Start_OffSet = r.offset + 7200;  // Only an adjusting measurement corrects it.
    _qxTime::testIfOfsetIsRight(false);
    EXPECT_EQ(_qxTime::qxTime_Start_OffSet, r.offset + 7200) << r.tz;
    _qxTime::testIfOfsetIsRight(true);
    EXPECT_EQ(_qxTime::qxTime_Start_OffSet, r.offset) << r.tz;
  }
}

TEST(DurationText, ClockFormUpTo36HoursThenDaysAndHours) {
  const struct { long long secs; const char* text; } rows[] = {
      {0, "00:00.00"}, {59, "00:00.59"}, {3725, "01:02.05"}, {129600, "36:00.00"}, {129601, "1d 12h"},
      {133199, "1d 12h"}, {200000, "2d 7h"}, {864000, "10d 0h"}, {-5, "00:00.-5"}, {-59, "00:00.-59"},
      {-60, "00:-1.00"}, {-3725, "-1:-2.-5"}, {LLONG_MAX, "106751991167300d 15h"},
      {LLONG_MIN, "-2562047788015215:-30.-8"}, {-9223372036854773999, "-2562047788015214:-59.-59"},
  };
  for (const auto& r : rows) EXPECT_STREQ(qx::qxSec2dhms8(r.secs).text, r.text) << r.secs;
}
// clang-format on

}  // namespace
