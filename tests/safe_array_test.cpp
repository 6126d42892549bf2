// Arrays as oleaut32 lays them out and owns their elements. Natively this holds the COM stand-in to
// Windows' behaviour; under Wine the same expectations run against the real oleaut32.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "arrays.h"
#include "quilmar/quilmar.h"
#include "values.h"

namespace quilmar::test {
namespace {

TEST(SafeArray, CreatedAsWindowsLaysThemOut) {
  const struct {
    VARTYPE type;
    USHORT features;
    UINT size;
  } rows[] = {
      {VT_I4, FADF_HAVEVARTYPE, 4},
      {VT_UI1, FADF_HAVEVARTYPE, 1},
      {VT_BOOL, FADF_HAVEVARTYPE, 2},
      {VT_CY, FADF_HAVEVARTYPE, 8},
      {VT_DECIMAL, FADF_HAVEVARTYPE, 16},
      {VT_BSTR, FADF_HAVEVARTYPE | FADF_BSTR, sizeof(BSTR)},
      {VT_VARIANT, FADF_HAVEVARTYPE | FADF_VARIANT, sizeof(VARIANT)},
      {VT_UNKNOWN, FADF_HAVEIID | FADF_UNKNOWN, sizeof(void*)},
      {VT_DISPATCH, FADF_HAVEIID | FADF_DISPATCH, sizeof(void*)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type);
    // Rows 1 to 3 by columns -1 to 0, as a spreadsheet range would not be but a script may.
    SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, -1}};
    SAFEARRAY* a = SafeArrayCreate(row.type, 2, bounds);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->fFeatures & ~FADF_FIXEDSIZE, row.features);
    VARTYPE type = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(a, &type), S_OK);
    EXPECT_EQ(type, row.type);
    EXPECT_EQ(SafeArrayGetElemsize(a), row.size);
    EXPECT_EQ(SafeArrayGetDim(a), 2u);
    // Stored last dimension first.
    EXPECT_EQ(a->rgsabound[0].lLbound, -1);
    EXPECT_EQ(a->rgsabound[0].cElements, 2u);
    EXPECT_EQ(a->rgsabound[1].lLbound, 1);
    EXPECT_EQ(a->rgsabound[1].cElements, 3u);
    LONG low = 0, high = 0;
    EXPECT_EQ(SafeArrayGetLBound(a, 2, &low), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(a, 2, &high), S_OK);
    EXPECT_EQ(low, -1);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(SafeArrayGetUBound(a, 3, &high), DISP_E_BADINDEX);
    // The first index varies fastest: (3, 0) is the last row of the second column.
    LONG at[2] = {3, 0};
    void* p = nullptr;
    EXPECT_EQ(SafeArrayPtrOfIndex(a, at, &p), S_OK);
    EXPECT_EQ(p, static_cast<char*>(a->pvData) + (2 + 1 * 3) * row.size);
    LONG outside[2] = {0, 0};
    EXPECT_EQ(SafeArrayPtrOfIndex(a, outside, &p), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
  }
}

TEST(SafeArray, CopiesAndDestructionOwnEveryElement) {
  const long strings = live_bstr_count();
  Counted object;
  VARIANT held = blank();
  held.vt = VT_DISPATCH;
  held.pdispVal = &object;
  {
    Variant texts = make_array(VT_BSTR, 0, 2, 1, 2);
    set_element(*texts, 1, 1, *text("b"));
    Variant objects = make_array(VT_DISPATCH, 5, 1);
    set_element(*objects, 0, 0, held);
    Variant mixed = make_array(VT_VARIANT, 0, 2);
    set_element(*mixed, 0, 0, *text("c"));
    set_element(*mixed, 1, 0, held);
    EXPECT_EQ(object.refs, 3u);

    for (Variant* array : {&texts, &objects, &mixed}) {
      Variant copy(**array);  // by value
      VARIANT ref = blank();
      ref.vt = static_cast<VARTYPE>((*array)->vt | VT_BYREF);
      ref.pparray = &array->get()->parray;
      Variant through(ref);  // by reference: a copy of the array, not of the pointer
      EXPECT_EQ(through->vt, (*array)->vt);
      EXPECT_NE(through->parray, (*array)->parray);
      EXPECT_EQ(described(*through), described(**array));
    }
    EXPECT_EQ(described(*mixed), (std::vector<std::string>{"BSTR \"c\"", "vt 9"}));
    EXPECT_EQ(object.refs, 3u);
  }
  EXPECT_EQ(object.refs, 1u);
  EXPECT_EQ(live_bstr_count(), strings);
}

// A store's node packs its Variants to 4 bytes, so the array pointer of a payload it copies in
// need not be aligned; the copy is read back bytewise for the same reason.
TEST(SafeArray, CopiesIntoAVariantOfAPackedRecord) {
  Variant array = make_array(VT_I4, 0, 2);
  set_element(*array, 1, 0, *i4(7));
  AVLtree node;
  std::memset(&node, 0, sizeof node);
  ASSERT_EQ(VariantCopy(&node.SubData, array.get()), S_OK);
  VARIANT copy = blank();
  std::memcpy(&copy, reinterpret_cast<const unsigned char*>(&node) + offsetof(AVLtree, SubData),
              sizeof copy);
  EXPECT_EQ(copy.vt, VT_ARRAY | VT_I4);
  EXPECT_NE(copy.parray, array->parray);
  EXPECT_EQ(described(copy), (std::vector<std::string>{"I4 0", "I4 7"}));
  EXPECT_EQ(VariantClear(&copy), S_OK);
}

}  // namespace
}  // namespace quilmar::test
