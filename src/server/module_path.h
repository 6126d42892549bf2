// Windows only: the full path of the file this code was loaded from, Quilmar.dll or a program the
// sources are linked into; registration writes it, and the object's type information is read
// from it. Fails (a Failure with Windows' status) when Windows cannot say.
#pragma once

#include <string>

namespace quilmar {

std::wstring module_path();

}  // namespace quilmar
