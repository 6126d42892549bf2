// Text comparison with and without regard to case: the uppercase table at the letters that tell a
// simple uppercase mapping from others, and the order the store's text mode will give.
#include "host/text_case.h"

#include <gtest/gtest.h>

#include "host/variant.h"

namespace quilmar::test {
namespace {

struct UpperRow {
  const char* label;
  char16_t unit;
  char16_t upper;
};

TEST(TextCase, UpperCaseIsTheSimpleMappingOfOneCodeUnit) {
  const UpperRow rows[] = {
      {"ASCII letter", u'q', u'Q'},
      {"ASCII capital", u'Q', u'Q'},
      {"ASCII next to the letters", u'`', u'`'},
      {"ASCII next to the letters", u'{', u'{'},
      {"e acute", u'\u00E9', u'\u00C9'},
      {"E acute", u'\u00C9', u'\u00C9'},
      {"sharp s: its uppercase is two letters", u'\u00DF', u'\u00DF'},
      {"y diaeresis leaves Latin-1", u'\u00FF', u'\u0178'},
      {"micro sign becomes Greek capital mu", u'\u00B5', u'\u039C'},
      {"dotless i becomes ASCII I", u'\u0131', u'I'},
      {"long s becomes ASCII S", u'\u017F', u'S'},
      {"dz digraph titlecase", u'\u01C5', u'\u01C4'},
      {"Greek final sigma", u'\u03C2', u'\u03A3'},
      {"Greek sigma", u'\u03C3', u'\u03A3'},
      {"Cyrillic zhe", u'\u0436', u'\u0416'},
      {"Cyrillic io", u'\u0451', u'\u0401'},
      {"Georgian mkhedruli", u'\u10D0', u'\u1C90'},
      {"Cherokee small letter", u'\uAB70', u'\u13A0'},
      {"fullwidth a", u'\uFF41', u'\uFF21'},
      {"Deseret lead surrogate", u'\xD801', u'\xD801'},
      {"Deseret small long i trail surrogate", u'\xDC28', u'\xDC28'},
      {"last code unit", u'\xFFFF', u'\xFFFF'},
  };
  for (const auto& row : rows)
    EXPECT_EQ(static_cast<unsigned>(upper_case(row.unit)), static_cast<unsigned>(row.upper))
        << row.label;
}

struct CompareRow {
  const char16_t* a;
  const char16_t* b;
  int binary;       // sign of the plain code-unit order
  int ignore_case;  // sign with case ignored
};

int sign(int v) {
  return (v > 0) - (v < 0);
}

TEST(TextCase, CompareOrdersByCodeUnitWithAndWithoutCase) {
  const CompareRow rows[] = {
      {u"apple", u"Apple", 1, 0},
      {u"apple", u"APPLE", 1, 0},
      {u"apple", u"Banana", 1, -1},
      {u"Banana", u"cherry", -1, -1},
      {u"z", u"\u00E9", -1, -1},  // é keeps its code order, after z
      {u"\u00C9t\u00E9", u"\u00E9T\u00C9", -1, 0},
      {u"_", u"a", -1, 1},  // '_' lies between the capitals and the small letters
      {u"\u03C3\u03C2", u"\u03A3\u03A3", 1, 0},
      {u"\u043C\u0438\u0440", u"\u041C\u0418\u0420", 1, 0},
      {u"stra\u00DFe", u"STRASSE", 1, 1},        // no one-to-two mappings
      {u"\xD801\xDC28", u"\xD801\xDC00", 1, 1},  // Deseret: outside the BMP, by code unit
      {u"app", u"apple", -1, -1},
      {u"APP", u"apple", -1, -1},
      {u"", u"a", -1, -1},
      {u"", u"", 0, 0},
  };
  for (const auto& row : rows) {
    const TextView a(row.a), b(row.b);
    const std::string label = to_utf8(a) + " against " + to_utf8(b);
    EXPECT_EQ(sign(compare_text(a.data(), a.size(), b.data(), b.size(), false)), row.binary)
        << label;
    EXPECT_EQ(sign(compare_text(b.data(), b.size(), a.data(), a.size(), false)), -row.binary)
        << label;
    EXPECT_EQ(sign(compare_text(a.data(), a.size(), b.data(), b.size(), true)), row.ignore_case)
        << label;
    EXPECT_EQ(sign(compare_text(b.data(), b.size(), a.data(), a.size(), true)), -row.ignore_case)
        << label;
  }
}

// Embedded nulls are characters like any other: lengths, not terminators, end a string.
TEST(TextCase, CompareReadsTheGivenLengths) {
  const char16_t a[] = {u'a', 0, u'b'}, b[] = {u'A', 0, u'c'};
  EXPECT_LT(compare_text(a, 3, b, 3, true), 0);
  EXPECT_EQ(compare_text(a, 2, b, 2, true), 0);
}

}  // namespace
}  // namespace quilmar::test
