// Test-only, for the tests and the fuzzer: how many strings are allocated and not yet freed, so
// that they can tell a leak. Only the stand-in counts; oleaut32 does not say, so on Windows -1.
#pragma once

#include "quilmar/com_types.h"

#ifdef _WIN32
inline long live_bstr_count() noexcept {
  return -1;
}
#else
long live_bstr_count() noexcept;
#endif
