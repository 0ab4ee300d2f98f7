// libFuzzer target for the fixed-capacity text, the one place where a wrong cut writes out of
// bounds: any sequence of operations at every capacity in use, against a plain model. A failed
// check aborts, and libFuzzer reports the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "QX_DataTypes_qxString.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  switch (in.value<uint8_t>() % 4) {
    case 0: runText<25>(in); break;
    case 1: runText<50>(in); break;
    case 2: runText<100>(in); break;
    default: runText<250>(in); break;
  }
  return 0;
}
