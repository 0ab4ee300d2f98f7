// libFuzzer targets, one per mode, chosen at build time:
//   QX_FUZZ_TEXT      operations on the fixed-capacity text, checked against a plain model;
//   QX_FUZZ_DURATION  qxSec2dhms8 over any 64-bit value, parsed back into its fields;
//   QX_FUZZ_TIME      fromDate, secsTo and the two clock texts over any values and zones.
// Each check that fails calls abort(), which libFuzzer reports with the input that caused it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "QX_DataTypes_qxString.h"
#include "QX_DataTypes_time.h"

namespace {

#define QX_CHECK(cond) ((cond) ? void(0) : std::abort())

// Reads fixed-size values and byte strings off the front of the input; past its end, zeros.
struct Input {
  const uint8_t* data;
  size_t size;
  uint8_t byte() { return size ? (--size, *data++) : 0; }
  template <typename T>
  T value() {
    T v{};
    const size_t n = size < sizeof v ? size : sizeof v;
    std::memcpy(&v, data, n);
    data += n, size -= n;
    return v;
  }
  std::string chunk() {  // A length byte, then up to that many bytes (NULs included).
    const size_t n = byte() < size ? data[-1] : size;
    std::string s(reinterpret_cast<const char*>(data), n);
    data += n, size -= n;
    return s;
  }
};

#ifdef QX_FUZZ_TEXT
// The text after each operation must equal the model (the same operations on std::string, cut
// at N), keep its terminator, and hold only zeros after it where construction, clear() or
// clearUnused() promise that.
template <int N>
void runText(Input& in) {
  qx::_qxString8_allSize<N> t;
  std::string model;
  bool zeroTail = true;
  auto cut = [](const std::string& s) { return s.substr(0, s.find('\0')).substr(0, N); };
  auto append = [&model](const std::string& s) {
    model += s;
    if (model.size() > N) model.resize(N);
  };
  while (in.size) {
    const uint8_t op = in.byte();
    switch (op % 8) {
      case 0: {
        const std::string s = in.chunk();
        new (&t) qx::_qxString8_allSize<N>(op & 8 ? nullptr : s.c_str());
        model = op & 8 ? "" : cut(s), zeroTail = true;
        break;
      }
      case 1: {
        const std::string s = in.chunk();
        t = op & 8 ? nullptr : s.c_str();
        model = op & 8 ? "" : cut(s), zeroTail = false;
        break;
      }
      case 2: {
        const std::string s = in.chunk();
        t.addText(s.c_str());
        append(cut(s)), zeroTail = false;
        break;
      }
      case 3: {
        const auto nr = in.value<long long>();
        t.addNr(nr);
        append(std::to_string(nr)), zeroTail = false;
        break;
      }
      case 4: {
        const auto nr = in.value<long long>();
        const unsigned char digits = in.byte();
        t.addNr(nr, digits);
        std::string s = std::to_string(nr);
        if (s.size() < digits) s.insert(0, digits - s.size(), '0');
        append(s), zeroTail = false;
        break;
      }
      case 5: {  // Raw bytes written straight into text, as a formatter would; calcLength
                 // then sees them followed by whatever text held before.
        const std::string s = in.chunk().substr(0, N + 1);
        const std::string before(t.text, N + 1);
        std::memcpy(t.text, s.data(), s.size());
        t.calcLength();
        model = cut(s + before.substr(s.size())), zeroTail = false;
        break;
      }
      case 6: t.clear(), model.clear(), zeroTail = true; break;
      default: t.clearUnused(), zeroTail = true; break;
    }
    QX_CHECK(t.length <= N && t.text[t.length] == '\0');
    QX_CHECK(model == std::string(t.text, t.length));
    for (int k = t.length; zeroTail && k <= N; ++k) QX_CHECK(t.text[k] == '\0');
  }
}
#endif

#ifdef QX_FUZZ_DURATION
// Parses the next signed decimal field and the separator after it.
long long field(const char*& p, char separator) {
  char* end = nullptr;
  const long long v = std::strtoll(p, &end, 10);
  QX_CHECK(end != p && *end == separator);
  p = end + (separator ? 1 : 0);
  return v;
}

void runDuration(Input& in) {
  const auto secs = in.value<long long>();
  const auto text = qx::qxSec2dhms8(secs);
  QX_CHECK(text.length <= 25 && std::strlen(text.text) == text.length);
  const char* p = text.text;
  if (secs > 129600) {
    QX_CHECK(field(p, 'd') == secs / 86400 && *p++ == ' ');
    QX_CHECK(field(p, 'h') == (secs / 3600) % 24 && *p == '\0');
  } else {
    QX_CHECK(field(p, ':') == secs / 3600);
    QX_CHECK(field(p, '.') == (secs / 60) % 60);
    QX_CHECK(field(p, '\0') == secs % 60);
  }
}
#endif

#ifdef QX_FUZZ_TIME
const char* const kZones[] = {"UTC0",
                              "Europe/Berlin",
                              "America/Sao_Paulo",
                              "Australia/Lord_Howe",
                              "Pacific/Kiritimati",
                              "Asia/Kathmandu",
                              "America/St_Johns",
                              "Pacific/Apia",
                              "Nowhere/Bogus",
                              "XXX-14",
                              "<+0545>-5:45",
                              ""};

// The calendar date that fromDate promises midnight of: the clamped day, month and year.
long long clampedUtcMidnight(int day, int month, int year) {
  month = month > 12 ? 12 : month <= 0 ? 1 : month;
  day = day > 31 ? 31 : day <= 0 ? 1 : day;
  year = year < 0 ? 2014 : year <= 99 ? 2000 + year : year > 3000 ? 3000 : year;
  std::tm tm{};
  tm.tm_mday = day, tm.tm_mon = month - 1, tm.tm_year = year - 1900;
  return static_cast<long long>(timegm(&tm));
}

void runTime(Input& in) {
  setenv("TZ", kZones[in.byte() % (sizeof kZones / sizeof *kZones)], 1);
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
  const int d = a.secsTo(b);
  const auto expected = a.epochSecs <= 0 ? 0
                        : b.epochSecs <= 0
                            ? 2000000000
                            : static_cast<int32_t>(static_cast<uint64_t>(b.epochSecs) -
                                                   static_cast<uint64_t>(a.epochSecs));
  QX_CHECK(d == expected);

  // Any offset, measured or not, must give a well-formed time of day.
  qx::_qxTime::qxTime_Start_OffSet = in.byte() & 1 ? -1 : in.value<int32_t>();
  const auto hms = a.asQX8StringHourMinSec();
  QX_CHECK(hms.length >= 8 && hms.length <= 11 && std::strlen(hms.text) == hms.length);
  const auto dmy = b.asQX8StringDateMonthYear();
  QX_CHECK(dmy.length <= 250 && std::strlen(dmy.text) == dmy.length);
  QX_CHECK(b.epochSecs > 0 ? dmy.text[dmy.length - 1] == ' ' || !std::strcmp(dmy.text, "--.-")
                           : !std::strcmp(dmy.text, b.epochSecs ? "--.-" : "-.-"));
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
#if defined(QX_FUZZ_TEXT)
  switch (in.byte() % 4) {
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
