// qxConsoleTicker: a clock of its own for shell scripts.
//
// The count is the number of seconds from local midnight of 1 January 2023 to now, as a signed
// 32-bit number. A run prints a banner, the local date and time and the count, and exits with
// the count or, with -b1 .. -b4, one byte of it. Byte values given back as arguments rebuild an
// earlier count, and the run reports how long ago it was. Every byte of standard output and the
// exit status are read by scripts, so the formats below are an interface.
// C headers only, as everywhere in the product (see cmake/musl.cmake).
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "QX_DataTypes_qxString.h"
#include "QX_DataTypes_time.h"
#include "qx_version.h"

namespace {

using qx::_qxString8_allSize;
using qx::_qxTime;
using ArgText = _qxString8_allSize<100>;  // One argument, cut at 100 characters.

constexpr char qxVersion[] = QX_VERSION_TEXT;
constexpr char qxCopyrightnotice[] = QX_COPYRIGHT_TEXT;
static_assert(qxVersion[0] == ' ' && qxCopyrightnotice[0] == ' ',
              "the banner's second line relies on both texts starting with a blank");

constexpr char kBannerTop[] =
    "________________________________ qxConsoleTicker __________________________________";
static_assert(sizeof kBannerTop - 1 == 83, "scripts may skip the banner by its exact width");

constexpr int kByteCount = 4;

// The whole output is far below this size, so with full buffering it leaves the process in a
// single write when main returns, and stdio never allocates a buffer of its own.
char outputBuffer[4096];

// The low 32 bits of a 64-bit value, read as a signed 32-bit number (two's complement).
int low32(uint64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// Which of "-b1" .. "-b4" an argument is: 0 .. 3, or -1 for any other text. The comparison is
// exact and case-sensitive, on the argument as cut to 100 characters.
int byteFlagIndex(const ArgText& arg) {
  if (arg.length != 3 || arg.text[0] != '-' || arg.text[1] != 'b') return -1;
  if (arg.text[2] < '1' || arg.text[2] > '4') return -1;
  return arg.text[2] - '1';
}

void printClockLine(const _qxTime& now) {
  const auto timeOfDay = now.asQX8StringHourMinSec();
  // A valid date text ends in a blank, so two blanks stand before the time of day.
  const auto date = now.asQX8StringDateMonthYear();
  printf("The time is %s %s\n", date.text, timeOfDay.text);
}

// Rebuilds the earlier count from the byte values (weights 1, 256, 65536, 16777216) and prints
// how long ago it was. Prints nothing when the first slot is empty. Values are not limited to
// 0 .. 255 and may be signed; conversion clamps like strtoll, and the weighting, the sum and the
// difference wrap in 64 bits, which is why they are computed in unsigned arithmetic.
void printElapsedReport(int32_t count, const ArgText (&slots)[kByteCount]) {
  if (!slots[0].hasData()) return;
  uint64_t last = 0;
  for (int k = 0; k < kByteCount; ++k) {
    if (slots[k].hasData()) {
      const auto value = static_cast<uint64_t>(strtoll(slots[k].text, nullptr, 10));
      last += value << (8 * k);
    }
  }
  printf("Last value: %d\n", low32(last));
  if (static_cast<int64_t>(last) <= 0) {
    printf("Error: Parameter is not a time delta %s\n", slots[0].text);
    return;
  }
  const uint64_t diff = static_cast<uint64_t>(static_cast<int64_t>(count)) - last;
  printf("Difference: %s\n", qx::qxSec2dhms8(static_cast<int64_t>(diff)).text);
  printf("Difference seconds: %d\n\n", low32(diff));
}

// Hands the buffered output to the system and reports on standard error when it cannot be
// written (a full disk, a closed descriptor). A failed write must not pass unnoticed, yet the
// exit status is the tool's data, which a script may still read, so it stays as it is.
void closeOutput() {
  // perror prints "<text>: <strerror(errno)>" and a newline; one import instead of three keeps
  // the dynamic linker's work at start-up down.
  if (fclose(stdout) != 0) perror("qxConsoleTicker: write error");
}

// The exit status: the chosen byte, or the whole count when no flag is set.
int exitCode(int32_t count, const bool (&byteFlags)[kByteCount]) {
  // The lowest-numbered flag wins, whatever the order on the command line. Bytes come from the
  // two's-complement form, so they are 0 .. 255 for a negative count too.
  for (int k = 0; k < kByteCount; ++k) {
    if (byteFlags[k]) {
      const int code = static_cast<int>((static_cast<uint32_t>(count) >> (8 * k)) & 0xFFU);
      printf("Returning Exit Code %d (byte %d)\n", code, k + 1);
      return code;
    }
  }
  // The shell sees the low 8 bits of the whole count, the same as byte 1.
  printf("Returning Exit Code %d\n", count);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that leaves early must not take the exit status with it: SIGPIPE would end the run
  // with 141 instead of the count. Ignored, the write fails with EPIPE and closeOutput reports it,
  // as it does for a full disk, while the status stays the count's.
  (void)signal(SIGPIPE, SIG_IGN);
  // Should this ever fail, stdio keeps its own buffering and the output is the same.
  (void)setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);

  printf("%s\n   %s   %s\n", kBannerTop, qxVersion, qxCopyrightnotice);

  // Every argument, the program's own name included, may be a byte flag; repeats change nothing.
  bool byteFlags[kByteCount] = {};
  bool anyFlag = false;
  for (int i = 0; i < argc; ++i) {
    const int index = byteFlagIndex(ArgText(argv[i]));
    if (index >= 0) byteFlags[index] = anyFlag = true;
  }

  // Without flags, arguments 1 .. 4 are byte values; further ones are ignored.
  ArgText slots[kByteCount];
  if (!anyFlag) {
    for (int k = 1; k <= kByteCount && k < argc; ++k) slots[k - 1] = argv[k];
  }

  const _qxTime now(true);
  _qxTime reference;
  reference.fromDate(1, 1, 2023);
  const int32_t count = reference.secsTo(now);

  printClockLine(now);
  printf("Seconds since 1.1.2023: %d\n", count);
  printElapsedReport(count, slots);

  const int code = exitCode(count, byteFlags);
  closeOutput();
  return code;
}
