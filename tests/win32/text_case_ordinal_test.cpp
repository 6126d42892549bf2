// The case table against the system's case-insensitive ordinal comparison, over every BMP code
// unit. Both order a code unit by an uppercase form, so they agree exactly when the units, sorted
// by the table, compare under the system as the table says at every step: equal within a group of
// one uppercase form, less from one group to the next.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "host/text_case.h"

namespace quilmar::test {
namespace {

// Where the two differ. The system folds a unit to its capital only where that capital's lowercase
// form is the unit again, so the micro sign, the dotless i, the long s, the final sigma, the
// titlecase digraphs, the iota subscripts, the Greek symbol forms and the old Cyrillic forms keep
// to themselves there; the table folds them as the Unicode data says.
constexpr const char* kKnown[] = {
    "U+00B5: the table maps it to U+039C, the system does not",
    "U+0131: the table maps it to U+0049, the system does not",
    "U+017F: the table maps it to U+0053, the system does not",
    "U+01C5: the table maps it to U+01C4, the system does not",
    "U+01C8: the table maps it to U+01C7, the system does not",
    "U+01CB: the table maps it to U+01CA, the system does not",
    "U+01F2: the table maps it to U+01F1, the system does not",
    "U+0345: the table maps it to U+0399, the system does not",
    "U+03C2: the table maps it to U+03A3, the system does not",
    "U+03D0: the table maps it to U+0392, the system does not",
    "U+03D1: the table maps it to U+0398, the system does not",
    "U+03D5: the table maps it to U+03A6, the system does not",
    "U+03D6: the table maps it to U+03A0, the system does not",
    "U+03F0: the table maps it to U+039A, the system does not",
    "U+03F1: the table maps it to U+03A1, the system does not",
    "U+03F5: the table maps it to U+0395, the system does not",
    "U+1C80: the table maps it to U+0412, the system does not",
    "U+1C81: the table maps it to U+0414, the system does not",
    "U+1C82: the table maps it to U+041E, the system does not",
    "U+1C83: the table maps it to U+0421, the system does not",
    "U+1C84: the table maps it to U+0422, the system does not",
    "U+1C85: the table maps it to U+0422, the system does not",
    "U+1C86: the table maps it to U+042A, the system does not",
    "U+1C87: the table maps it to U+0462, the system does not",
    "U+1C88: the table maps it to U+A64A, the system does not",
    "U+1E9B: the table maps it to U+1E60, the system does not",
    "U+1FBE: the table maps it to U+0399, the system does not",
};

wchar_t unit(unsigned c) {
  return static_cast<wchar_t>(c);
}

int system_order(wchar_t a, wchar_t b) {
  const int r = CompareStringOrdinal(&a, 1, &b, 1, TRUE);
  EXPECT_NE(r, 0) << "CompareStringOrdinal failed: " << GetLastError();
  return r - CSTR_EQUAL;
}

std::string unit_name(unsigned c) {
  char text[8];
  std::snprintf(text, sizeof text, "U+%04X", c);
  return text;
}

// The lines for code unit c: what the table equates it with and the system does not, and the
// other way round.
void differences_of(unsigned c, std::vector<std::string>& out) {
  const unsigned upper = upper_case(unit(c));
  if (system_order(unit(c), unit(upper)) != 0) {
    std::string line = unit_name(c);
    line += ": the table maps it to ";
    line += unit_name(upper);
    line += ", the system does not";
    out.push_back(line);
  }
  for (unsigned d = 0; d <= 0xFFFF; ++d) {
    if (upper_case(unit(d)) == upper || system_order(unit(c), unit(d)) != 0) continue;
    std::string line = unit_name(c);
    line += ": the system equates it with ";
    line += unit_name(d);
    line += ", the table does not";
    out.push_back(line);
  }
}

TEST(TextCaseOrdinal, TableAgreesWithTheSystemExceptKnownUnits) {
  std::vector<unsigned> units(0x10000);
  std::iota(units.begin(), units.end(), 0u);
  const auto table_key = [](unsigned c) { return upper_case(unit(c)) * 0x10000u + c; };
  std::sort(units.begin(), units.end(),
            [&](unsigned a, unsigned b) { return table_key(a) < table_key(b); });
  std::set<unsigned> involved;
  std::vector<std::pair<unsigned, unsigned>> steps;  // consecutive units the two order apart
  for (std::size_t i = 0; i + 1 < units.size(); ++i) {
    const unsigned a = units[i], b = units[i + 1];
    const int expected = upper_case(unit(a)) == upper_case(unit(b)) ? 0 : -1;
    const int got = system_order(unit(a), unit(b));
    if ((got > 0) - (got < 0) == expected) continue;
    involved.insert(a);
    involved.insert(b);
    steps.emplace_back(a, b);
  }
  std::vector<std::string> found;
  std::set<unsigned> listed;
  for (unsigned c : involved) {
    const std::size_t before = found.size();
    differences_of(c, found);
    if (found.size() != before) listed.insert(c);
  }
  // A step that no unit's line explains would be a difference of order alone.
  for (const auto& [a, b] : steps) {
    if (listed.count(a) || listed.count(b)) continue;
    std::string line = unit_name(a);
    line += " before ";
    line += unit_name(b);
    line += ": the system orders them otherwise";
    found.push_back(line);
  }

  std::printf("%zu differences between the case table and CompareStringOrdinal:\n", found.size());
  for (const auto& line : found) std::printf("  %s\n", line.c_str());
  const std::vector<std::string> known(std::begin(kKnown), std::end(kKnown));
  for (const auto& line : found)
    EXPECT_TRUE(std::find(known.begin(), known.end(), line) != known.end()) << "new: " << line;
  for (const auto& line : known)
    EXPECT_TRUE(std::find(found.begin(), found.end(), line) != found.end()) << "gone: " << line;
}

}  // namespace
}  // namespace quilmar::test
