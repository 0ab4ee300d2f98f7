// The tests' clock: time() returns QX_TEST_NOW (signed decimal epoch seconds), so the tests run
// what ships at any instant: linked into a static build's sibling, qxConsoleTicker-testclock, and
// preloaded into a dynamic build as libqx_testclock.so. Where glibc's 64-bit time_t on a 32-bit
// target names time() __time64, this definition takes that name too. Without a readable instant
// it ends the run with status 99: a test never runs at the real clock.
#include <errno.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): each C library names it.
extern "C" time_t time(time_t* out) {
  const char* text = getenv("QX_TEST_NOW");
  char* end = nullptr;
  errno = 0;
  const long long now = text == nullptr ? 0 : strtoll(text, &end, 10);
  if (text == nullptr || end == text || *end != '\0' || errno != 0) {
    static const char kMessage[] =
        "qxConsoleTicker-testclock: QX_TEST_NOW holds no epoch seconds\n";
    if (write(STDERR_FILENO, kMessage, sizeof kMessage - 1) < 0) _exit(99);  // Nothing else to do.
    _exit(99);
  }
  if (out != nullptr) *out = static_cast<time_t>(now);
  return static_cast<time_t>(now);
}
