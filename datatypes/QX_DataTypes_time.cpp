#include "QX_DataTypes_time.h"

namespace qx {

namespace {

// Indexed by the 0-based month of a broken-down time; the 13th slot is a null end marker.
constexpr const char* month_names[13] = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", nullptr};

constexpr int32_t kSecsPerDay = 86400;
constexpr long long kClockFormLimit = 129600;  // 36 hours; longer durations read as days.

// Folding a deviation into half a day (plus a margin for a clock tick between two readings)
// absorbs the case where UTC and local time lie on different calendar days.
constexpr int32_t kHalfDayFold = 43230;

// Signed overflow is undefined, so additions that may leave the 64-bit range wrap explicitly.
constexpr long long wrappingAdd(long long a, long long b) {
  return static_cast<long long>(static_cast<unsigned long long>(a) +
                                static_cast<unsigned long long>(b));
}

// Fills the six date and time fields that fromDate hands to mktime() for local midnight.
void fillMidnight(tm& fields, int day, int month, int year, int isdst) {
  fields = tm{};
  fields.tm_mday = day;
  fields.tm_mon = month - 1;
  fields.tm_year = year - 1900;
  fields.tm_isdst = isdst;
}

}  // namespace

_qxTime::_qxTime(bool setNow) {
  if (setNow) setCurrentTime(0);
}

void _qxTime::setCurrentTime(long long offsetSecs) {
  epochSecs = wrappingAdd(static_cast<long long>(time(nullptr)), offsetSecs);
}

int _qxTime::secsTo(const _qxTime& other) const {
  if (epochSecs <= 0) return 0;
  if (other.epochSecs <= 0) return 2000000000;
  const auto diff =
      static_cast<unsigned long long>(other.epochSecs) - static_cast<unsigned long long>(epochSecs);
  return static_cast<int32_t>(static_cast<uint32_t>(diff));
}

void _qxTime::fromDate(int day, int month, int year) {
  if (month > 12) month = 12;
  if (month <= 0) month = 1;
  if (day > 31) day = 31;
  if (day <= 0) day = 1;
  if (year < 0) {
    year = 2014;
  } else if (year <= 99) {
    year += 2000;
  } else if (year > 3000) {
    year = 3000;
  }

  // The first conversion only finds out whether daylight saving is in effect at that midnight;
  // the second one, given that flag, yields the exact instant. The first one is told "unknown"
  // (-1): any definite flag that is wrong for the date sends glibc's mktime on a search for a
  // moment with that flag, which costs about 15,000 instructions in a zone with daylight saving
  // and over 400,000 in one without, such as UTC; start-up cost is what this tool is measured by.
  // A midnight that a spring-forward gap skips then resolves, as glibc decides for -1, to the
  // hour before the jump, 23:00 of the previous day.
  tm fields;
  fillMidnight(fields, day, month, year, -1);
  (void)mktime(&fields);
  fillMidnight(fields, day, month, year, fields.tm_isdst);
  epochSecs = static_cast<long long>(mktime(&fields));
}

bool _qxTime::to_tm(tm& out) const {
  const auto t = static_cast<time_t>(epochSecs);
  return localtime_r(&t, &out) != nullptr;
}

void _qxTime::testIfOfsetIsRight(bool adjust) {
  if (!adjust) return;
  // The clock is read at the moment of measurement itself, and the deviation is how far the wall
  // clock is from what the current offset shows for that moment. Reading it at now minus the
  // offset instead would, from the "not measured" value -1, read the zone one second ahead: in
  // the last second before a daylight-saving change the clock line would be an hour wrong. The
  // unmeasured state therefore counts as 0.
  const int32_t start = qxTime_Start_OffSet == -1 ? 0 : qxTime_Start_OffSet;
  const time_t now = time(nullptr);
  tm local;
  if (localtime_r(&now, &local) == nullptr) return;

  // Both terms are below one day in magnitude, so the 32-bit difference cannot overflow.
  const int32_t wallSecs = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  const auto shownSecs = static_cast<int32_t>(wrappingAdd(now, start) % kSecsPerDay);
  int32_t deviation = wallSecs - shownSecs;
  if (deviation < -kHalfDayFold) {
    deviation += kSecsPerDay;
  } else if (deviation > kHalfDayFold) {
    deviation -= kSecsPerDay;
  }
  qxTime_Start_OffSet =
      static_cast<int32_t>(static_cast<uint32_t>(start) + static_cast<uint32_t>(deviation));
}

_qxString8_allSize<50> _qxTime::asQX8StringHourMinSec() const {
  if (qxTime_Start_OffSet == -1) testIfOfsetIsRight(true);
  _qxString8_allSize<50> result;
  const long long wall = wrappingAdd(epochSecs, qxTime_Start_OffSet);
  // Truncating division keeps each field's sign: hours in -23..23, minutes and seconds in -59..59.
  const auto hours = static_cast<int>((wall / 3600) % 24);
  const auto minutes = static_cast<int>((wall / 60) % 60);
  const auto seconds = static_cast<int>(wall % 60);
  // "%02d:%02d.%02d", built without the cost of a formatted print: for values of -99 .. 99 the
  // at-least-two-characters form of addNr gives the same characters as %02d.
  result.addNr(hours, 2);
  result.addText(":");
  result.addNr(minutes, 2);
  result.addText(".");
  result.addNr(seconds, 2);
  return result;
}

_qxString8_allSize<250> _qxTime::asQX8StringDateMonthYear() const {
  if (epochSecs == 0) return _qxString8_allSize<250>("-.-");
  // A successful conversion always gives a month of 0 .. 11, a valid index into month_names.
  tm local;
  if (epochSecs < 0 || !to_tm(local)) return _qxString8_allSize<250>("--.-");
  // "%02d.%s.%02lld ", built by hand as in the time of day; the day of the month is 1 .. 31.
  // The year is widened: tm_year may be as large as INT_MAX, and adding 1900 must not overflow.
  _qxString8_allSize<250> scratch;
  scratch.addNr(local.tm_mday, 2);
  scratch.addText(".");
  scratch.addText(month_names[local.tm_mon]);
  scratch.addText(".");
  scratch.addNr(static_cast<long long>(local.tm_year) + 1900, 2);
  scratch.addText(" ");
  return scratch;
}

_qxString8_allSize<25> qxSec2dhms8(long long secs) {
  _qxString8_allSize<25> result;
  const long long hours = secs / 3600;
  if (secs > kClockFormLimit) {
    result.addNr(secs / kSecsPerDay);
    result.addText("d ");
    result.addNr(hours % 24);
    result.addText("h");
  } else {
    result.addNr(hours, 2);
    result.addText(":");
    result.addNr((secs / 60) % 60, 2);
    result.addText(".");
    result.addNr(secs % 60, 2);
  }
  return result;
}

}  // namespace qx
