// Text comparison with and without regard to case: the uppercase table at the letters that tell a
// simple uppercase mapping from others, and the order the store's text mode will give.
#include "host/text_case.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "host/variant.h"

namespace quilmar::test {
namespace {

struct UpperRow {
  const char* label;
  OLECHAR unit;
  OLECHAR upper;
};

TEST(TextCase, UpperCaseIsTheSimpleMappingOfOneCodeUnit) {
  const UpperRow rows[] = {
      {"ASCII letter", OLESTR('q'), OLESTR('Q')},
      {"ASCII capital", OLESTR('Q'), OLESTR('Q')},
      {"ASCII next to the letters", OLESTR('`'), OLESTR('`')},
      {"ASCII next to the letters", OLESTR('{'), OLESTR('{')},
      {"e acute", OLESTR('\u00E9'), OLESTR('\u00C9')},
      {"E acute", OLESTR('\u00C9'), OLESTR('\u00C9')},
      {"sharp s: its uppercase is two letters", OLESTR('\u00DF'), OLESTR('\u00DF')},
      {"y diaeresis leaves Latin-1", OLESTR('\u00FF'), OLESTR('\u0178')},
      {"micro sign becomes Greek capital mu", OLESTR('\u00B5'), OLESTR('\u039C')},
      {"dotless i becomes ASCII I", OLESTR('\u0131'), OLESTR('I')},
      {"long s becomes ASCII S", OLESTR('\u017F'), OLESTR('S')},
      {"dz digraph titlecase", OLESTR('\u01C5'), OLESTR('\u01C4')},
      {"Greek final sigma", OLESTR('\u03C2'), OLESTR('\u03A3')},
      {"Greek sigma", OLESTR('\u03C3'), OLESTR('\u03A3')},
      {"Cyrillic zhe", OLESTR('\u0436'), OLESTR('\u0416')},
      {"Cyrillic io", OLESTR('\u0451'), OLESTR('\u0401')},
      {"Georgian mkhedruli", OLESTR('\u10D0'), OLESTR('\u1C90')},
      {"Cherokee small letter", OLESTR('\uAB70'), OLESTR('\u13A0')},
      {"fullwidth a", OLESTR('\uFF41'), OLESTR('\uFF21')},
      {"Deseret lead surrogate", OLESTR('\xD801'), OLESTR('\xD801')},
      {"Deseret small long i trail surrogate", OLESTR('\xDC28'), OLESTR('\xDC28')},
      {"last code unit", OLESTR('\xFFFF'), OLESTR('\xFFFF')},
  };
  for (const auto& row : rows)
    EXPECT_EQ(static_cast<unsigned>(upper_case(row.unit)), static_cast<unsigned>(row.upper))
        << row.label;
}

struct CompareRow {
  const OLECHAR* a;
  const OLECHAR* b;
  int binary;       // sign of the plain code-unit order
  int ignore_case;  // sign with case ignored
};

int sign(int v) {
  return (v > 0) - (v < 0);
}

TEST(TextCase, CompareOrdersByCodeUnitWithAndWithoutCase) {
  const CompareRow rows[] = {
      {OLESTR("apple"), OLESTR("Apple"), 1, 0},
      {OLESTR("apple"), OLESTR("APPLE"), 1, 0},
      {OLESTR("apple"), OLESTR("Banana"), 1, -1},
      {OLESTR("Banana"), OLESTR("cherry"), -1, -1},
      {OLESTR("z"), OLESTR("\u00E9"), -1, -1},  // é keeps its code order, after z
      {OLESTR("\u00C9t\u00E9"), OLESTR("\u00E9T\u00C9"), -1, 0},
      {OLESTR("_"), OLESTR("a"), -1, 1},  // '_' lies between the capitals and the small letters
      {OLESTR("\u03C3\u03C2"), OLESTR("\u03A3\u03A3"), 1, 0},
      {OLESTR("\u043C\u0438\u0440"), OLESTR("\u041C\u0418\u0420"), 1, 0},
      {OLESTR("stra\u00DFe"), OLESTR("STRASSE"), 1, 1},  // no one-to-two mappings
      {OLESTR("\xD801\xDC28"), OLESTR("\xD801\xDC00"), 1,
       1},  // Deseret: outside the BMP, by code unit
      {OLESTR("app"), OLESTR("apple"), -1, -1},
      {OLESTR("APP"), OLESTR("apple"), -1, -1},
      {OLESTR(""), OLESTR("a"), -1, -1},
      {OLESTR(""), OLESTR(""), 0, 0},
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

// Whatever path a comparison takes (a unit at a time or a word of four), it orders as the units'
// uppercase forms do, one after another. The letters sit at the edges of ASCII's letter ranges.
TEST(TextCase, CompareAgreesWithUppercasingEachUnit) {
  const OLECHAR letters[] = {OLESTR('@'), OLESTR('A'), OLESTR('Z'), OLESTR('['), OLESTR('`'),
                             OLESTR('a'), OLESTR('z'), OLESTR('{'), 0x7F,        0x80,
                             0xE9,        0xC9,        0x17F};
  std::mt19937 rng(23);
  const auto random_text = [&] {
    std::vector<OLECHAR> t(rng() % 11);
    for (auto& c : t) c = letters[rng() % std::size(letters)];
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::vector<OLECHAR> a = random_text();
    std::vector<OLECHAR> b = a;  // often a case variant of a, so that words compare equal
    for (auto& c : b) {
      const unsigned r = rng() % 4;
      if (r == 0) c = letters[rng() % std::size(letters)];
      if (r == 1 && static_cast<unsigned>((c | 0x20) - 'a') < 26u) c ^= 0x20;
    }
    if (rng() % 4 == 0) b = random_text();
    std::vector<OLECHAR> ua = a, ub = b;
    for (auto& c : ua) c = upper_case(c);
    for (auto& c : ub) c = upper_case(c);
    const int expected = ua < ub ? -1 : ub < ua ? 1 : 0;
    ASSERT_EQ(sign(compare_text(a.data(), a.size(), b.data(), b.size(), true)), expected)
        << to_utf8(TextView(a.data(), a.size())) << " against "
        << to_utf8(TextView(b.data(), b.size()));
  }
}

// Embedded nulls are characters like any other: lengths, not terminators, end a string.
TEST(TextCase, CompareReadsTheGivenLengths) {
  const OLECHAR a[] = {OLESTR('a'), 0, OLESTR('b')}, b[] = {OLESTR('A'), 0, OLESTR('c')};
  EXPECT_LT(compare_text(a, 3, b, 3, true), 0);
  EXPECT_EQ(compare_text(a, 2, b, 2, true), 0);
}

}  // namespace
}  // namespace quilmar::test
