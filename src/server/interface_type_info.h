// The description of _clsAVLt2, the object's default interface, that IDispatch hands out: on
// Windows read from the type library embedded in this module, once per object; other hosts have
// no type libraries.
#pragma once

#include "quilmar/com_types.h"

namespace quilmar {

class InterfaceTypeInfo {
 public:
  InterfaceTypeInfo() noexcept = default;
  InterfaceTypeInfo(const InterfaceTypeInfo&) = delete;
  InterfaceTypeInfo& operator=(const InterfaceTypeInfo&) = delete;
  ~InterfaceTypeInfo();

  // As GetTypeInfoCount and GetTypeInfo answer them.
  HRESULT count(UINT* count) noexcept;
  HRESULT get(UINT index, ITypeInfo** info) noexcept;

 private:
  ITypeInfo* load() noexcept;

  ITypeInfo* info_ = nullptr;
  bool tried_ = false;
};

}  // namespace quilmar
