#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <tuple>
#include <utility>

#include "QX_DataTypes_time.h"

using qx::_qxTime;

namespace {

// Makes tz the local zone and forgets the offset measured in the zone before.
void setZone(const char* tz) {
  setenv("TZ", tz, 1), tzset();
  _qxTime::qxTime_Start_OffSet = -1;
}

_qxTime at(long long secs) {
  _qxTime t;
  t.epochSecs = secs;
  return t;
}

// Each boundary of the year's mapping (< 0, 0 .. 99, > 3000) has a row on either side.
TEST(TimeValue, FromDateClampsMapsTheYearAndGivesLocalMidnight) {
  const std::tuple<const char*, int, int, int, long long> rows[] = {
      {"UTC0", 0, 0, 0, 946684800},
      {"UTC0", 40, 13, -1, 1419984000},
      {"UTC0", 1, 1, 99, 4070908800},
      {"UTC0", 1, 1, 100, -59011459200},
      {"UTC0", 1, 1, 3001, 32503680000},
      {"Europe/Berlin", 1, 7, 2023, 1688162400},
      {"America/Sao_Paulo", 4, 11, 2018, 1541296800},  // Midnight skipped: 23:00 the day before.
  };
  for (const auto& [tz, day, month, year, epoch] : rows) {
    setZone(tz);
    _qxTime t;
    t.fromDate(day, month, year);
    EXPECT_EQ(t.epochSecs, epoch) << tz << ' ' << day << '.' << month << '.' << year;
  }
}

TEST(TimeValue, SecsToHandlesUnsetInvalidAndReducesTo32Bits) {
  const long long t = 1700000000;
  const std::tuple<long long, long long, int> rows[] = {
      {0, t, 0},
      {-1, t, 0},
      {t, 0, 2000000000},
      {t, -1, 2000000000},
      {t + 90, t, -90},
      {1, 1 + (1LL << 31), INT_MIN},
      {1, LLONG_MAX, -2},
  };
  for (const auto& [from, to, secs] : rows) EXPECT_EQ(at(from).secsTo(at(to)), secs) << from;
}

// The first time-of-day text measures the offset, folded into half a day around 0; an adjusting
// measurement corrects an offset that is off, and folds the deviation too. POSIX TZ strings count
// west as positive: "XXX-13" is UTC+13.
TEST(ClockText, OffsetTimeAndDateTexts) {
  const std::tuple<const char*, long long, int, const char*, const char*> rows[] = {
      {"XXX-13", -1, -39600, "-11:00.-1", "--.-"},
      {"XXX-5:45:30", 1672511400, 20730, "00:15.30", "01.Jan.2023 "},  // 31 December in UTC.
      {"UTC0", LLONG_MAX, 0, "15:30.07", "--.-"},  // Beyond what the C library's record holds.
  };
  for (const auto& [tz, secs, offset, time, date] : rows) {
    setZone(tz);
    EXPECT_STREQ(at(secs).asQX8StringHourMinSec().text, time) << tz << ' ' << secs;
    EXPECT_EQ(_qxTime::qxTime_Start_OffSet, offset) << tz;
    EXPECT_STREQ(at(secs).asQX8StringDateMonthYear().text, date) << tz << ' ' << secs;
    // Whether a deviation needs the fold depends on the hour at which the suite runs. Of the two
    // starts 43100 s either side, one needs it at any hour but a 200 s window of the day, and the
    // rows' offsets put those windows at different hours.
    for (const int start : {offset + 43100, offset - 43100}) {
      _qxTime::qxTime_Start_OffSet = start;
      _qxTime::testIfOfsetIsRight(true);
      EXPECT_EQ(_qxTime::qxTime_Start_OffSet, offset) << tz << " from " << start;
    }
  }
}

TEST(DurationText, ClockFormUpTo36HoursThenDaysAndHours) {
  const std::pair<long long, const char*> rows[] = {
      {129600, "36:00.00"},
      {129601, "1d 12h"},
      {864000, "10d 0h"},
      {-3725, "-1:-2.-5"},
      {LLONG_MAX, "106751991167300d 15h"},
  };
  for (const auto& [secs, text] : rows) EXPECT_STREQ(qx::qxSec2dhms8(secs).text, text) << secs;
}

}  // namespace
