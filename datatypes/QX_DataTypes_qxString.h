// Fixed-capacity 8-bit text, held by value, for a program that must never touch the heap.
#pragma once

// The product includes C headers only, so that it builds against any C library, musl included,
// with no C++ standard library at all (see cmake/musl.cmake).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace qx {

namespace detail {

// The longest decimal form of a 64-bit integer is "-9223372036854775808": 20 characters.
inline constexpr size_t kMaxDecimalChars = 20;

// Writes the decimal form of nr ("%lld" without padding) into out, NUL-terminated, and returns
// its length (1 to 20). The magnitude is taken in unsigned arithmetic so that the most negative
// value needs no signed negation, which would overflow.
inline size_t formatDecimal(long long nr, char (&out)[kMaxDecimalChars + 1]) {
  unsigned long long magnitude = static_cast<unsigned long long>(nr);
  if (nr < 0) magnitude = 0ULL - magnitude;
  char reversed[kMaxDecimalChars];
  size_t digits = 0;
  do {
    reversed[digits++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  size_t k = 0;
  if (nr < 0) out[k++] = '-';
  while (digits != 0) out[k++] = reversed[--digits];
  out[k] = '\0';
  return k;
}

}  // namespace detail

// _qxString8_allSize<N> holds at most N characters of 8-bit text inside the object itself.
//
// Both fields are public on purpose: callers print `text` as a C string and formatters write
// straight into `text`, then call calcLength(). Every write path cuts silently at N characters;
// nothing is reported and nothing is allocated or thrown.
//
// Invariant after every member: length <= N and text[length] == '\0'. The bytes after the
// terminator are all zero after construction, clear() and clearUnused(); the other members leave
// them as they were, so a shorter assignment keeps the tail of an older, longer text.
template <int N>
class _qxString8_allSize {
  static_assert(N >= 1, "a text must be able to hold at least one character");
  static_assert(N <= 65535, "length is a 16-bit count of characters");

 public:
  static constexpr size_t kCapacity = static_cast<size_t>(N);

  uint16_t length;   // 0 .. N characters in use.
  char text[N + 1];  // text[length] is the terminator; text[N] ends a full text.

  // Starts out cleared, so that no path can ever print uninitialised bytes.
  _qxString8_allSize() : length(0), text{} {}

  // Copies at most N characters of src, then zeroes every byte after them. A null src gives a
  // cleared object. At most the first N bytes of src are read.
  explicit _qxString8_allSize(const char* src) : length(0) {
    if (src == nullptr) {
      clear();
      return;
    }
    const size_t n = ::strnlen(src, kCapacity);
    memcpy(text, src, n);
    length = static_cast<uint16_t>(n);
    clearUnused();
  }

  // Replaces the text with at most N characters of src; the bytes after the new terminator keep
  // their old contents. A null src empties the text: length becomes 0 and text[0] the
  // terminator, so that printing `text` agrees with `length`.
  void operator=(const char* src) {
    length = 0;
    if (src == nullptr) {
      text[0] = '\0';
      return;
    }
    append(src, ::strnlen(src, kCapacity));
  }

  // Empties the text and zeroes all N + 1 bytes.
  void clear() {
    length = 0;
    memset(text, 0, sizeof text);
  }

  // Zeroes text[length] .. text[N]; the characters in use stay as they are.
  void clearUnused() { memset(text + length, 0, kCapacity + 1 - length); }

  // Recomputes length after a caller wrote a C string straight into text: the index of the
  // first NUL among text[0] .. text[N-1], or N (with text[N] made the terminator) if none.
  void calcLength() {
    const void* nul = memchr(text, '\0', kCapacity);
    if (nul == nullptr) {
      length = static_cast<uint16_t>(N);
      text[N] = '\0';
    } else {
      length = static_cast<uint16_t>(static_cast<const char*>(nul) - text);
    }
  }

  [[nodiscard]] bool hasData() const { return length != 0; }

  // Appends the decimal form of nr ("%lld"), cut at the capacity.
  void addNr(const long long& nr) {
    char digits[detail::kMaxDecimalChars + 1];
    append(digits, detail::formatDecimal(nr, digits));
  }

  // As addNr(nr), but pads with leading '0' characters up to minDigits characters in all. The
  // '-' of a negative number counts as one of them and the zeros go before it: -5 padded to 3
  // is "0-5". Each zero is appended only while there is room.
  void addNr(const long long& nr, const unsigned char& minDigits) {
    char digits[detail::kMaxDecimalChars + 1];
    const size_t k = detail::formatDecimal(nr, digits);
    for (size_t pad = k; pad < minDigits && length < N; ++pad) text[length++] = '0';
    append(digits, k);
  }

  // Appends the characters of s (never null), cut at the capacity.
  void addText(const char* s) { append(s, ::strnlen(s, kCapacity - length)); }

 private:
  // Appends the first min(n, N - length) characters of s and writes the terminator.
  void append(const char* s, size_t n) {
    const size_t room = kCapacity - length;
    if (n > room) n = room;
    memcpy(text + length, s, n);
    length = static_cast<uint16_t>(length + n);
    text[length] = '\0';
  }
};

// __is_trivially_copyable is the gcc and clang built-in behind std::is_trivially_copyable, whose
// header belongs to the C++ library that the product does without.
static_assert(__is_trivially_copyable(_qxString8_allSize<25>),
              "texts are returned by value and copied byte for byte");
static_assert(sizeof(_qxString8_allSize<100>) == 2 + 101 + 1,
              "the text lives inside the object: a 16-bit length and N + 1 bytes");

}  // namespace qx
