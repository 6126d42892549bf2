// An object as a client creates it: through DllGetClassObject and the class factory. The fixture
// releases the reference it holds when it ends, however the test ends.
#pragma once

#include <utility>

#include "quilmar/quilmar.h"
#include "store/store.h"

namespace quilmar::test {

class TestObject {
 public:
  TestObject();
  ~TestObject();
  TestObject(const TestObject&) = delete;
  TestObject& operator=(const TestObject&) = delete;

  _clsAVLt* get() const { return p_; }
  _clsAVLt* operator->() const { return p_; }
  const Store& store() const;
  // Hands the reference to the test, which then releases it itself.
  _clsAVLt* release() { return std::exchange(p_, nullptr); }

 private:
  _clsAVLt* p_ = nullptr;
};

}  // namespace quilmar::test
