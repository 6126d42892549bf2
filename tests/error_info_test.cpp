// Windows only: early-bound callers learn what failed through ISupportErrorInfo and the thread's
// error object, as they do from any automation server.
#include <gtest/gtest.h>

#include "host/failure.h"
#include "object.h"
#include "quilmar/quilmar.h"
#include "values.h"

namespace quilmar::test {
namespace {

TEST(ErrorInfo, AFailedMemberLeavesItsDescriptionForTheCaller) {
  TestObject<> object;
  _clsAVLt* store = object.get();

  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(store->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__clsAVLt), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
  IUnknown* identity = nullptr;
  support->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  EXPECT_EQ(identity, static_cast<IUnknown*>(store));
  identity->Release();
  support->Release();

  FLOAT siz = 3e9f;  // a bound too big for a table: MemorySize then overflows
  VARIANT_BOOL built = VARIANT_TRUE;
  store->Alloc(&siz, &built);
  SetErrorInfo(0, nullptr);
  LONG size = 5;
  EXPECT_EQ(store->get_MemorySize(&size), kOverflow);
  EXPECT_EQ(size, 0);

  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  ASSERT_NE(info, nullptr);
  BSTR description = nullptr, source = nullptr;
  GUID guid = {};
  info->GetDescription(&description);
  info->GetSource(&source);
  info->GetGUID(&guid);
  EXPECT_EQ(Text(description, SysStringLen(description)), T("Overflow"));
  EXPECT_EQ(Text(source, SysStringLen(source)), T("Quilmar.clsAVLt"));
  EXPECT_TRUE(IsEqualGUID(guid, IID__clsAVLt));
  SysFreeString(description);
  SysFreeString(source);
  info->Release();
}

}  // namespace
}  // namespace quilmar::test
