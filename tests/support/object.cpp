#include "object.h"

#include <gtest/gtest.h>

#include "server/avl_object.h"

namespace quilmar::test {

TestObject::TestObject() {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(CLSID_clsAVLt, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  if (!factory) return;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID__clsAVLt, reinterpret_cast<void**>(&p_)), S_OK);
  factory->Release();
}

TestObject::~TestObject() {
  if (p_) p_->Release();
}

const Store& TestObject::store() const {
  return static_cast<const AvlObject*>(p_)->store();
}

}  // namespace quilmar::test
