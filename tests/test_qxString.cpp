#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <tuple>

#include "QX_DataTypes_qxString.h"

namespace {

// After each random operation all N + 1 bytes, the length and hasData() must match the model.
template <int N>
void run(unsigned long long seed) {
  using Text = qx::_qxString8_allSize<N>;
  auto pick = [rng = std::mt19937_64(seed)](unsigned long long n) mutable { return rng() % n; };
  const long long edges[] = {LLONG_MIN, LLONG_MIN + 1, -10, -1, 0, 9, LLONG_MAX};
  alignas(Text) unsigned char raw[sizeof(Text)];
  Text* t = new (raw) Text;
  std::string bytes(N + 1, '\0');
  auto put = [&](const std::string& s, bool zeroTail) {  // s up to its NUL, cut at N, then a NUL.
    const std::string cut = s.substr(0, s.find('\0')).substr(0, N) + '\0';
    (zeroTail ? bytes.assign(N + 1, '\0') : bytes).replace(0, cut.size(), cut);
  };
  for (unsigned long long i = 0, op = 0; i < 20000; ++i) {
    std::string s(pick(N + 12), '\0');  // Past the capacity, any byte, now and then a NUL.
    for (char& c : s) c = static_cast<char>(pick(4 * s.size()) == 0 ? 0 : 1 + pick(255));
    const long long nr = pick(2) ? edges[pick(7)] : static_cast<long long>(pick(~0ULL)) >> pick(64);
    const auto minDigits = static_cast<unsigned char>(pick(2) ? pick(24) : pick(256));
    std::string now = bytes.substr(0, bytes.find('\0')), digits = std::to_string(nr);
    const size_t pad = minDigits > digits.size() ? minDigits - digits.size() : 0;
    const char* src = pick(4) == 0 ? nullptr : s.c_str();
    if ((op = pick(9)) < 2)  // Constructors run over dirty bytes: volatile, so -O2 keeps them.
      for (volatile auto& b : raw) b = static_cast<unsigned char>(1 + pick(255));
    switch (op) {
      case 0: t = new (raw) Text(src), put(src ? s : "", true); break;
      case 1: t = new (raw) Text, put("", true); break;
      case 2: *t = src, put(src ? s : "", false); break;
      case 3: t->addText(s.c_str()), put(now + s, false); break;
      case 4: t->addNr(nr), put(now + digits, false); break;
      case 5: t->addNr(nr, minDigits), put(now + digits.insert(0, pad, '0'), false); break;
      case 6:  // Raw bytes straight into text, as formatters write them, then calcLength().
        bytes.replace(0, s.size(), s).resize(N + 1), std::memcpy(t->text, bytes.data(), N + 1);
        t->calcLength(), put(bytes, false);
        break;
      case 7: t->clear(), put("", true); break;
      default: t->clearUnused(), put(now, true); break;
    }
    ASSERT_EQ(std::make_tuple(std::string(t->text, N + 1), size_t{t->length}, t->hasData()),
              std::make_tuple(bytes, std::strlen(bytes.c_str()), bytes[0] != '\0'))
        << "capacity " << N << ", operation " << i << " of kind " << op;
  }
}

TEST(FixedText, EveryWritePathAtEveryCapacityAgreesWithAPlainModel) {
  run<25>(1), run<50>(2), run<100>(3), run<250>(4);
}

}  // namespace
