#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "QX_DataTypes_qxString.h"

using namespace std::string_literals;

namespace {

using Text = qx::_qxString8_allSize<25>;
enum Op { Construct, ConstructNull, Assign, AddText, AddNr, AddNrMin, CalcLength };

// Each row applies one operation to a 25-character text built from `start` and states all 26
// bytes afterwards (padded with zeros): the cut at the capacity, the terminator and the tail.
struct Row {
  Op op;
  std::string start, arg;
  long long nr;
  unsigned char minDigits;
  std::string bytes;
};
const std::string x24(24, 'x'), x25(25, 'x'), x26(26, 'x'), a23(23, 'a'),
    a24(24, 'a'), d = "0123456789";

const Row kRows[] = {
    {Construct, d, x24, 0, 0, x24},
    {Construct, d, x26, 0, 0, x25},
    {ConstructNull, d, "", 0, 0, ""},
    {Assign, d, x26, 0, 0, x25},
    {AddText, d, x26, 0, 0, d + x26.substr(11)},
    {AddText, x25, ":", 0, 0, x25},
    {AddNr, a23, "", 987, 0, a23 + "98"},
    {AddNr, "", "", LLONG_MIN, 0, "-9223372036854775808"},
    {AddNrMin, "", "", 7, 2, "07"},
    {AddNrMin, "", "", 123, 2, "123"},
    {AddNrMin, "", "", -5, 3, "0-5"},
    {AddNrMin, a24, "", 5, 3, a24 + "0"},
    {CalcLength, "", x26, 0, 0, x25},
    {CalcLength, "", "ab", 0, 0, "ab"},
};

TEST(FixedText, EveryWritePathCutsAtCapacityAndKeepsItsTerminator) {
  for (const Row& r : kRows) {
    Text t(r.start.c_str());
    const char* arg = r.op == ConstructNull ? nullptr : r.arg.c_str();
    switch (r.op) {
      case Construct:
      case ConstructNull: {  // Built over dirty storage, so that every byte it leaves is its own.
        alignas(Text) unsigned char raw[sizeof(Text)];
        std::memset(raw, 'z', sizeof raw);
        t = *new (raw) Text(arg);
        break;
      }
      case Assign: t = arg; break;
      case AddText: t.addText(arg); break;
      case AddNr: t.addNr(r.nr); break;
      case AddNrMin: t.addNr(r.nr, r.minDigits); break;
      case CalcLength: std::memcpy(t.text, r.arg.data(), r.arg.size()), t.calcLength(); break;
    }
    const std::string expected = r.bytes + std::string(sizeof t.text - r.bytes.size(), '\0');
    EXPECT_EQ(std::string(t.text, sizeof t.text), expected) << "row " << &r - kRows;
    EXPECT_EQ(t.length, std::strlen(expected.c_str())) << "row " << &r - kRows;
    EXPECT_EQ(t.hasData(), expected[0] != '\0') << "row " << &r - kRows;
  }
}

}  // namespace
