// CompareMode: text keys that compare without regard to case, in every member that compares keys;
// and when the mode may change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/store.h"
#include "values.h"

namespace quilmar::test {
namespace {

class Sink final : public ValueSink {
 public:
  void take(const VARIANT& value) override { values.push_back(describe(value)); }
  std::vector<std::string> values;
};

std::vector<std::string> keys(const Store& s, const VARIANT* low = nullptr,
                              const VARIANT* high = nullptr) {
  Sink sink;
  s.copy_range(Field::key, low, high, sink);
  return sink.values;
}

Store with(LONG mode, EGN_MOD policy, std::initializer_list<std::u16string> texts) {
  Store s;
  EXPECT_TRUE(s.alloc(100));
  s.set_compare_mode(mode);
  s.set_egnore(policy);
  for (const std::u16string& t : texts) s.indata(*text(t), *text(t));
  return s;
}

using V = std::vector<std::string>;

TEST(CompareMode, TextModeIgnoresCaseInEveryMemberThatComparesKeys) {
  const struct {
    const char* label;
    LONG mode;
    EGN_MOD policy;
    V order;
  } rows[] = {
      {"binary: capitals first",
       0,
       NOT_EGNORE,
       {"BSTR \"APPLE\"", "BSTR \"Banana\"", "BSTR \"apple\"", "BSTR \"cherry\"",
        "BSTR \"\xC3\xA9\""}},
      {"text: equal keys in insertion order, accents after z",
       1,
       NOT_EGNORE,
       {"BSTR \"apple\"", "BSTR \"APPLE\"", "BSTR \"Banana\"", "BSTR \"cherry\"",
        "BSTR \"\xC3\xA9\""}},
      {"database compare is text",
       2,
       USE_FIRST_DATA,
       {"BSTR \"apple\"", "BSTR \"Banana\"", "BSTR \"cherry\"", "BSTR \"\xC3\xA9\""}},
      {"a locale identifier is text; the new spelling replaces",
       1033,
       USE_LAST_DATA,
       {"BSTR \"APPLE\"", "BSTR \"Banana\"", "BSTR \"cherry\"", "BSTR \"\xC3\xA9\""}},
  };
  for (const auto& row : rows) {
    Store s = with(row.mode, row.policy, {u"apple", u"cherry", u"\u00E9", u"Banana", u"APPLE"});
    EXPECT_EQ(s.compare_mode(), row.mode);
    EXPECT_EQ(keys(s), row.order) << row.label;
    const bool text_mode = row.mode > 0;
    EXPECT_EQ(s.exists(*text("CHERRY")), text_mode) << row.label;
    EXPECT_EQ(s.index_of(*text("bANANA")), text_mode ? static_cast<LONG>(row.order.size()) - 3 : -1)
        << row.label;
    Variant found;
    EXPECT_EQ(s.seek(*text("B"), SEEK_AFTER_EQ, *found.get()), true);
    EXPECT_EQ(describe(*found), "BSTR \"Banana\"") << row.label;
    const V between = text_mode ? V{"BSTR \"Banana\"", "BSTR \"cherry\""} : V{};
    EXPECT_EQ(keys(s, &*text("b"), &*text("CHERRY")), between) << row.label;
    EXPECT_EQ(s.remove(*text("aPPle")), text_mode ? row.order.size() - 3 : 0u) << row.label;
  }
}

TEST(CompareMode, NumbersCompareAsInBinaryMode) {
  Store s = with(1, NOT_EGNORE, {});
  for (LONG k : {3, 1, 2}) s.indata(*i4(k), *empty());
  s.indata(*text("a"), *empty());
  s.indata(*r8(1.5), *empty());
  EXPECT_EQ(keys(s), (V{"I4 1", "R8 1.5", "I4 2", "I4 3", "BSTR \"a\""}));
}

TEST(CompareMode, ChangesOnlyWhileTheStoreIsEmpty) {
  Store s = with(1, NOT_EGNORE, {u"a"});
  EXPECT_THROW(s.set_compare_mode(0), Failure) << "keys are held";
  EXPECT_THROW(s.set_compare_mode(1), Failure) << "even to the same mode";
  EXPECT_EQ(s.compare_mode(), 1);
  s.remove_all();
  EXPECT_EQ(s.compare_mode(), 1) << "RemoveAll keeps it";
  EXPECT_THROW(s.set_compare_mode(-1), Failure);
  s.set_compare_mode(1031);
  ASSERT_TRUE(s.alloc(10));
  EXPECT_EQ(s.compare_mode(), 1031) << "Alloc keeps it";
  s.indata(*text("x"), *empty());
  s.indata(*text("X"), *empty());
  EXPECT_EQ(s.data_number(), 2);
  EXPECT_TRUE(s.exists(*text("x")));
}

}  // namespace
}  // namespace quilmar::test
