// The class factory of clsAVLt and the library's exported entry points that hand out objects.
#pragma once

#include "quilmar/com_types.h"

namespace quilmar {

// The factory for CLSID_clsAVLt; CLASS_E_CLASSNOTAVAILABLE for any other identifier.
HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** object) noexcept;

// S_OK when no object, factory reference or lock is outstanding.
HRESULT can_unload_now() noexcept;

}  // namespace quilmar
