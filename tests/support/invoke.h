// Calls through IDispatch as script clients make them, for tests: arguments in the order the
// caller writes them, and everything Invoke answers.
#pragma once

#include <vector>

#include "host/variant.h"

namespace quilmar::test {

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kScriptGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
constexpr WORD kMethod = DISPATCH_METHOD;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr UINT kUnset = 0xDEADBEEF;

DISPID id_of(IDispatch* d, const char* name);

struct Named {
  DISPID id;
  VARIANT value;
};

struct Outcome {
  HRESULT hr = S_OK;
  Variant result;
  UINT arg_error = kUnset;
  SCODE scode = 0;
  Text source, description;
};

// Arguments in the order the caller writes them; rgvarg gets the named ones first, then the
// positional ones last to first, as clients lay them out.
Outcome invoke(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> positional,
               std::vector<Named> named = {});
Outcome invoke(IDispatch* d, const char* name, WORD flags, std::vector<VARIANT> positional = {},
               std::vector<Named> named = {});

LONG get_long(IDispatch* d, const char* name);

}  // namespace quilmar::test
