// The description of one type of the type library embedded in this module (an object's default
// interface, which IDispatch hands out, or its class): on Windows read from the library once per
// object; other hosts have no type libraries.
#pragma once

#include "quilmar/com_types.h"

namespace quilmar {

class InterfaceTypeInfo {
 public:
  explicit InterfaceTypeInfo(const GUID& type) noexcept : type_(type) {}
  InterfaceTypeInfo(const InterfaceTypeInfo&) = delete;
  InterfaceTypeInfo& operator=(const InterfaceTypeInfo&) = delete;
  ~InterfaceTypeInfo();

  // As GetTypeInfoCount and GetTypeInfo answer them.
  HRESULT count(UINT* count) noexcept;
  HRESULT get(UINT index, ITypeInfo** info) noexcept;

 private:
  ITypeInfo* load() noexcept;

  const GUID& type_;
  ITypeInfo* info_ = nullptr;
  bool tried_ = false;
};

}  // namespace quilmar
