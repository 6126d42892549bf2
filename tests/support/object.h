// An object as a client creates it: through DllGetClassObject and the class factory, asked for the
// interface `Face`. The fixture releases the reference it holds when it ends, however the test
// ends.
#pragma once

#include <gtest/gtest.h>

#include <utility>

#include "quilmar/quilmar.h"
#include "server/avl_object.h"
#include "server/dictionary_object.h"
#include "store/store.h"

namespace quilmar::test {

// The identifiers a fixture asks for, by interface.
template <class Face>
struct Identity;
template <>
struct Identity<_clsAVLt> {
  static constexpr const IID& iid = IID__clsAVLt;
  static constexpr const CLSID& clsid = CLSID_clsAVLt;
  using Object = AvlObject;
};
template <>
struct Identity<_clsAVLt2> : Identity<_clsAVLt> {
  static constexpr const IID& iid = IID__clsAVLt2;
};
template <>
struct Identity<_clsAVLt3> : Identity<_clsAVLt> {
  static constexpr const IID& iid = IID__clsAVLt3;
};
template <>
struct Identity<ISortedDictionary> {
  static constexpr const IID& iid = IID_ISortedDictionary;
  static constexpr const CLSID& clsid = CLSID_SortedDictionary;
  using Object = DictionaryObject;
};

template <class Face = _clsAVLt>
class TestObject {
 public:
  TestObject() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(Identity<Face>::clsid, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory)),
              S_OK);
    if (!factory) return;
    EXPECT_EQ(factory->CreateInstance(nullptr, Identity<Face>::iid, reinterpret_cast<void**>(&p_)),
              S_OK);
    factory->Release();
  }
  ~TestObject() {
    if (p_) p_->Release();
  }
  TestObject(const TestObject&) = delete;
  TestObject& operator=(const TestObject&) = delete;

  Face* get() const { return p_; }
  Face* operator->() const { return p_; }
  const Store& store() const {
    return static_cast<const typename Identity<Face>::Object*>(p_)->store();
  }
  // Hands the reference to the test, which then releases it itself.
  Face* release() { return std::exchange(p_, nullptr); }

 private:
  Face* p_ = nullptr;
};

}  // namespace quilmar::test
