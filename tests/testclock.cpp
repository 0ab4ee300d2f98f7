// The test clock: the C library's time(), for qxConsoleTicker-testclock alone. It returns the
// instant in QX_TEST_NOW (decimal epoch seconds, optionally signed), so the tests can run the
// shipped objects of a static build at any instant. Without a readable instant it writes one line
// to standard error and ends the run with status 99: a test must never run at the real clock.
// Built with the product's flags, so it too includes C headers only.
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
    (void)write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    _exit(99);
  }
  if (out != nullptr) *out = static_cast<time_t>(now);
  return static_cast<time_t>(now);
}
