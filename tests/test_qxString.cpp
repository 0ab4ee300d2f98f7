#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "QX_DataTypes_qxString.h"

using namespace std::string_literals;
using Text = qx::_qxString8_allSize<25>;

namespace {

enum class Op {
  Construct,
  ConstructNull,
  Assign,
  AssignNull,
  AssignClearUnused,
  AddText,
  AddNr,
  AddNrMin,
  CalcLength
};

// Each row starts from a text built from `start`, applies one operation and states every one of
// the N + 1 bytes afterwards (`bytes`, padded with zeros), which pins down the cut at the
// capacity, the terminator and what survives after it.
struct Row {
  Op op;
  std::string start, arg;
  long long nr;
  unsigned char minDigits;
  std::string bytes;
};

const std::string x24(24, 'x'), x25(25, 'x'), x26(26, 'x'), d10 = "0123456789";

const Row kRows[] = {
    {Op::Construct, d10, x24, 0, 0, x24},
    {Op::Construct, d10, x25, 0, 0, x25},
    {Op::Construct, d10, x26, 0, 0, x25},
    {Op::Construct, d10, "", 0, 0, ""},
    {Op::ConstructNull, d10, "", 0, 0, ""},
    {Op::Assign, x25, x24, 0, 0, x24},
    {Op::Assign, d10, x26, 0, 0, x25},
    {Op::Assign, d10, "abc", 0, 0,
     "abc\0"
     "456789"s},
    {Op::AssignNull, d10, "", 0, 0,
     "\0"
     "123456789"s},
    {Op::AssignClearUnused, d10, "abc", 0, 0, "abc"},
    {Op::AddText, "", x24, 0, 0, x24},
    {Op::AddText, d10, x26, 0, 0, d10 + std::string(15, 'x')},
    {Op::AddText, x25, ":", 0, 0, x25},
    {Op::AddNr, std::string(23, 'a'), "", 987, 0, std::string(23, 'a') + "98"},
    {Op::AddNr, "", "", LLONG_MIN, 0, "-9223372036854775808"},
    {Op::AddNr, "", "", LLONG_MAX, 0, "9223372036854775807"},
    {Op::AddNr, "", "", -5, 0, "-5"},
    {Op::AddNrMin, "", "", 7, 2, "07"},
    {Op::AddNrMin, "", "", 123, 2, "123"},
    {Op::AddNrMin, "", "", 0, 2, "00"},
    {Op::AddNrMin, "", "", -5, 2, "-5"},
    {Op::AddNrMin, "", "", -5, 3, "0-5"},
    {Op::AddNrMin, std::string(24, 'a'), "", 5, 3, std::string(24, 'a') + "0"},
    {Op::AddNrMin, x25, "", 5, 3, x25},
    {Op::CalcLength, "", x26, 0, 0, x25},
    {Op::CalcLength, d10, "ab\0cd"s, 0, 0,
     "ab\0cd"
     "56789"s},
};

TEST(FixedText, EveryWritePathCutsAtCapacityAndKeepsItsTerminator) {
  for (const Row& r : kRows) {
    SCOPED_TRACE("row " + std::to_string(&r - kRows));
    Text t(r.start.c_str());
    switch (r.op) {
      case Op::Construct:
        t = Text(r.arg.c_str());
        break;
      case Op::ConstructNull:
        t = Text(static_cast<const char*>(nullptr));
        break;
      case Op::Assign:
        t = r.arg.c_str();
        break;
      case Op::AssignNull:
        t = static_cast<const char*>(nullptr);
        break;
      case Op::AssignClearUnused:
        t = r.arg.c_str();
        t.clearUnused();
        break;
      case Op::AddText:
        t.addText(r.arg.c_str());
        break;
      case Op::AddNr:
        t.addNr(r.nr);
        break;
      case Op::AddNrMin:
        t.addNr(r.nr, r.minDigits);
        break;
      case Op::CalcLength:
        std::memcpy(t.text, r.arg.data(), r.arg.size());
        t.calcLength();
        break;
    }
    const std::string expected = r.bytes + std::string(sizeof t.text - r.bytes.size(), '\0');
    EXPECT_EQ(std::string(t.text, sizeof t.text), expected);
    EXPECT_EQ(t.length, std::strlen(expected.c_str()));
    EXPECT_EQ(t.hasData(), expected[0] != '\0');
  }
}

}  // namespace
