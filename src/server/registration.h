// Self-registration of the in-process server (Windows only): the class's registry entries and the
// type library embedded in this file.
#pragma once

#include "quilmar/com_types.h"

namespace quilmar {

// Registers the type library from this file's own resource and writes the class's entries.
// Returns the first failing status; entries already written stay.
HRESULT register_server() noexcept;

// Removes exactly what register_server writes, except the entries shared with the other bitness's
// file while that one is registered. An entry that is already gone counts as removed.
HRESULT unregister_server() noexcept;

}  // namespace quilmar
