// libFuzzer targets, one per mode, chosen at build time:
//   QX_FUZZ_TEXT      operations on the fixed-capacity text, checked against a plain model;
//   QX_FUZZ_DURATION  qxSec2dhms8 over any 64-bit value, parsed back into its fields;
//   QX_FUZZ_TIME      fromDate, secsTo and the two clock texts over any values and zones.
// A failed check calls abort(), which libFuzzer reports with the input that caused it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "QX_DataTypes_qxString.h"
#include "QX_DataTypes_time.h"

namespace {

#define QX_CHECK(cond) ((cond) ? void(0) : std::abort())

// Takes values and byte strings off the front of the input; past its end, zeros.
struct Input {
  const uint8_t* data;
  size_t size;
  template <typename T>
  T value() {
    T v{};
    const size_t n = size < sizeof v ? size : sizeof v;
    std::memcpy(&v, data, n), data += n, size -= n;
    return v;
  }
  std::string chunk() {  // A length byte, then up to that many bytes, NULs included.
    const size_t want = value<uint8_t>(), n = want < size ? want : size;
    std::string s(reinterpret_cast<const char*>(data), n);
    data += n, size -= n;
    return s;
  }
};

#ifdef QX_FUZZ_TEXT
// After each operation the text must hold what the same operations give on a plain string cut
// at N, keep its terminator, and be all zeros after it where construction, clear() and
// clearUnused() promise that. Bit 3 of the operation byte passes null instead of the string.
template <int N>
void runText(Input& in) {
  qx::_qxString8_allSize<N> t;
  std::string model;
  auto cut = [](const std::string& s) { return s.substr(0, s.find('\0')).substr(0, N); };
  while (in.size != 0) {
    const auto op = in.value<uint8_t>();
    const auto minDigits = in.value<uint8_t>();
    const auto nr = in.value<long long>();
    const std::string s = in.chunk(), before(t.text, N + 1), digits = std::to_string(nr);
    const char* src = (op & 8) != 0 ? nullptr : s.c_str();
    const size_t raw = s.size() < N + 1 ? s.size() : N + 1;
    switch (op % 8) {
      case 0: new (&t) qx::_qxString8_allSize<N>(src), model = src ? cut(s) : ""; break;
      case 1: t = src, model = src ? cut(s) : ""; break;
      case 2: t.addText(s.c_str()), model += cut(s); break;
      case 3: t.addNr(nr), model += digits; break;
      case 4:
        t.addNr(nr, minDigits);
        model +=
            std::string(minDigits > digits.size() ? minDigits - digits.size() : 0, '0') + digits;
        break;
      case 5:  // Raw bytes written straight into text, as a formatter would, over the old ones.
        std::memcpy(t.text, s.data(), raw), t.calcLength(),
            model = cut(s.substr(0, raw) + before.substr(raw));
        break;
      case 6: t.clear(), model.clear(); break;
      default: t.clearUnused(); break;
    }
    model.resize(model.size() < N ? model.size() : N);
    QX_CHECK(t.length <= N && t.text[t.length] == '\0' && model == std::string(t.text, t.length));
    const bool zeroTail = op % 8 == 0 || op % 8 >= 6;
    for (int k = t.length; zeroTail && k <= N; ++k) QX_CHECK(t.text[k] == '\0');
  }
}
#endif

#ifdef QX_FUZZ_DURATION
// Parses the next signed decimal field and checks the character that ends it.
long long field(const char*& p, char end) {
  char* stop = nullptr;
  const long long v = std::strtoll(p, &stop, 10);
  QX_CHECK(stop != p && *stop == end);
  p = stop + 1;
  return v;
}

// The text must fit 25 characters and read back as the fields it stands for.
void runDuration(Input& in) {
  const auto secs = in.value<long long>();
  const auto text = qx::qxSec2dhms8(secs);
  const char* p = text.text;
  QX_CHECK(text.length <= 25 && std::strlen(p) == text.length);
  if (secs > 129600) {
    QX_CHECK(field(p, 'd') == secs / 86400 && *p++ == ' ' && field(p, 'h') == secs / 3600 % 24 &&
             *p == '\0');
  } else {
    QX_CHECK(field(p, ':') == secs / 3600 && field(p, '.') == secs / 60 % 60 &&
             field(p, '\0') == secs % 60);
  }
}
#endif

#ifdef QX_FUZZ_TIME
// clang-format off
const char* const kZones[] = {"UTC0", "Europe/Berlin", "America/Sao_Paulo", "Australia/Lord_Howe",
    "Pacific/Kiritimati", "Asia/Kathmandu", "America/St_Johns", "Pacific/Apia", "Nowhere/Bogus",
    "XXX-14", "<+0545>-5:45", ""};
// clang-format on

// UTC midnight of the date that fromDate clamps its arguments to.
long long clampedUtcMidnight(int day, int month, int year) {
  std::tm tm{};
  tm.tm_mday = day > 31 ? 31 : day <= 0 ? 1 : day;
  tm.tm_mon = (month > 12 ? 12 : month <= 0 ? 1 : month) - 1;
  tm.tm_year = (year < 0 ? 2014 : year <= 99 ? 2000 + year : year > 3000 ? 3000 : year) - 1900;
  return static_cast<long long>(timegm(&tm));
}

void runTime(Input& in) {
  setenv("TZ", kZones[in.value<uint8_t>() % (sizeof kZones / sizeof *kZones)], 1);
  tzset();
  const auto day = in.value<int>(), month = in.value<int>(), year = in.value<int>();
  qx::_qxTime date;
  date.fromDate(day, month, year);
  // Local midnight lies within two days of UTC midnight of the same date: offsets reach 15 hours,
  // and a midnight that a change skips moves by the size of the jump, a whole day at most.
  const long long distance = date.epochSecs - clampedUtcMidnight(day, month, year);
  QX_CHECK(date.epochSecs == -1 || (distance > -172800 && distance < 172800));

  qx::_qxTime a, b;
  a.epochSecs = in.value<long long>(), b.epochSecs = in.value<long long>();
  const auto diff = static_cast<uint64_t>(b.epochSecs) - static_cast<uint64_t>(a.epochSecs);
  QX_CHECK(a.secsTo(b) == (a.epochSecs <= 0   ? 0
                           : b.epochSecs <= 0 ? 2000000000
                                              : static_cast<int32_t>(diff)));

  // Any offset, measured or set, gives a time of day of three fields of two or three characters.
  qx::_qxTime::qxTime_Start_OffSet = (in.value<uint8_t>() & 1) != 0 ? -1 : in.value<int32_t>();
  const auto hms = a.asQX8StringHourMinSec();
  QX_CHECK(hms.length >= 8 && hms.length <= 11 && std::strlen(hms.text) == hms.length);
  const auto dmy = b.asQX8StringDateMonthYear();
  QX_CHECK(std::strlen(dmy.text) == dmy.length);
  QX_CHECK(b.epochSecs > 0 ? dmy.text[dmy.length - 1] == ' ' || !std::strcmp(dmy.text, "--.-")
                           : !std::strcmp(dmy.text, b.epochSecs != 0 ? "--.-" : "-.-"));
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
#if defined(QX_FUZZ_TEXT)
  switch (in.value<uint8_t>() % 4) {
    case 0: runText<25>(in); break;
    case 1: runText<50>(in); break;
    case 2: runText<100>(in); break;
    default: runText<250>(in); break;
  }
#elif defined(QX_FUZZ_DURATION)
  runDuration(in);
#elif defined(QX_FUZZ_TIME)
  runTime(in);
#else
#error "define one of QX_FUZZ_TEXT, QX_FUZZ_DURATION, QX_FUZZ_TIME"
#endif
  return 0;
}
