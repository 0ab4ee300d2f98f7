// A point in time as seconds since the Unix epoch, with its calendar and text conversions.
#pragma once

#include <stdint.h>
#include <time.h>

#include "QX_DataTypes_qxString.h"

// Epoch seconds reach the C library unshortened. With a 32-bit time_t, as older C libraries give
// 32-bit machines, every instant from 2038-01-19 03:14:08 UTC on would wrap to 1901, and the
// tool would print wrong dates and counts without a word. musl 1.2 and later gives every target a
// 64-bit time_t; glibc does on 32-bit targets with -D_TIME_BITS=64, which the build defines.
static_assert(sizeof(time_t) >= sizeof(long long),
              "time_t must hold 64-bit epoch seconds, or dates after January 2038 go wrong");

namespace qx {

// _qxTime is a thin value over the platform's epoch seconds (same scale as time_t).
//
// epochSecs > 0 is a valid point in time, 0 means unset (the default state) and any negative
// value is invalid (for example the -1 that mktime() gives for a date it cannot represent).
// No member reports an error: unset and invalid values give fixed replacement results instead.
//
// The time-of-day text does not ask the platform about each value. It adds one process-wide
// offset, qxTime_Start_OffSet, measured on first use. That offset is the zone's distance from UTC
// at the moment of measurement, daylight saving included, and applies unchanged to every value;
// the date text, in contrast, follows the zone's rules for the value's own moment.
class _qxTime {
 public:
  // Seconds to add to epoch seconds to get local wall-clock seconds, kept within half a day of 0
  // (UTC+14 is stored as -10 hours, which gives the same time of day). -1 means "not measured
  // yet"; the first asQX8StringHourMinSec() call measures it.
  static inline int32_t qxTime_Start_OffSet = -1;

  long long epochSecs = 0;

  _qxTime() = default;
  // setNow true reads the system clock; false leaves the value unset.
  explicit _qxTime(bool setNow);

  // epochSecs = the system clock plus offsetSecs (wrapping, never undefined).
  void setCurrentTime(long long offsetSecs);

  // Seconds from this point to other, reduced to the low 32 bits in two's complement.
  // An unset or invalid start gives 0; otherwise an unset or invalid end gives 2000000000.
  [[nodiscard]] int secsTo(const _qxTime& other) const;

  // Sets the value to local midnight of the given date after clamping: month to 1..12, day to
  // 1..31 (an excess day rolls into the next month: 31 April is 1 May), and the year as
  // < 0 -> 2014, 0..99 -> 2000 + year, 100..3000 as given, > 3000 -> 3000.
  // An unrepresentable date leaves -1, the invalid value.
  void fromDate(int day, int month, int year);

  // Converts to broken-down local time. Returns false, leaving out unspecified, when the platform
  // cannot convert the value (its year does not fit the record); callers must not read out then.
  bool to_tm(tm& out) const;

  // Measures how far qxTime_Start_OffSet is from the local clock now and, with adjust true, adds
  // that deviation to it; with adjust false nothing changes. When the platform cannot convert the
  // current time the offset is left as it was.
  static void testIfOfsetIsRight(bool adjust);

  // The time of day as "%02d:%02d.%02d", e.g. "21:21.09". Any value is printed, unset included;
  // a negative wall-clock second count gives negative fields, e.g. "-5:00.00".
  [[nodiscard]] _qxString8_allSize<50> asQX8StringHourMinSec() const;

  // The date as "%02d.%s.%02d " (note the trailing blank), e.g. "05.Dec.2023 ". Unset gives
  // "-.-"; invalid, or a value the platform cannot convert, gives "--.-".
  [[nodiscard]] _qxString8_allSize<250> asQX8StringDateMonthYear() const;
};

static_assert(__is_trivially_copyable(_qxTime), "a time is a plain value");

// A duration for people: "HH:MM.SS" (each field at least two characters, hours up to 36) for
// secs <= 129600 (36 hours), negative values included with a sign on each field ("-1:-2.-5");
// above that, whole days and hours, "Dd Hh", dropping minutes and seconds. Never more than 25
// characters for any 64-bit input.
[[nodiscard]] _qxString8_allSize<25> qxSec2dhms8(long long secs);

}  // namespace qx
