// The committed case table is the one its generator writes from the Unicode data the build names.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tools/case_table/case_table.h"

namespace quilmar::test {
namespace {

std::string first_difference(const std::string& a, const std::string& b) {
  std::istringstream x(a), y(b);
  std::string lx, ly;
  for (int line = 1;; ++line) {
    const bool more_x = static_cast<bool>(std::getline(x, lx));
    const bool more_y = static_cast<bool>(std::getline(y, ly));
    if (!more_x && !more_y) return "none";
    if (lx != ly || more_x != more_y)
      return "line " + std::to_string(line) + ": committed \"" + (more_x ? lx : "") +
             "\", generated \"" + (more_y ? ly : "") + "\"";
  }
}

TEST(TextCaseTable, IsWhatTheGeneratorWritesFromUnicodeData) {
  std::ifstream data(QUILMAR_UNICODE_DATA);
  if (!data)
    GTEST_SKIP() << QUILMAR_UNICODE_DATA << " is absent (Debian package unicode-data): the "
                 << "committed case table is not checked";
  const std::string generated = tools::case_table_source(data);
  std::ifstream file(QUILMAR_CASE_TABLE, std::ios::binary);
  ASSERT_TRUE(file) << QUILMAR_CASE_TABLE;
  std::ostringstream committed;
  committed << file.rdbuf();
  EXPECT_TRUE(committed.str() == generated)
      << "the committed case table differs from the Unicode data's, first at "
      << first_difference(committed.str(), generated)
      << "; cmake --build --preset native --target quilmar_case_table writes it again";
}

}  // namespace
}  // namespace quilmar::test
