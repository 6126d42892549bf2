#include "invoke.h"

#include <gtest/gtest.h>

#include <utility>

#include "values.h"

namespace quilmar::test {

DISPID id_of(IDispatch* d, const char* name) {
  Text text = T(name);
  LPOLESTR names[] = {text.data()};
  DISPID id = 0;
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
  return id;
}

namespace {

Text text_of(BSTR s) {
  Text t = s ? Text(s, SysStringLen(s)) : Text();
  SysFreeString(s);
  return t;
}

}  // namespace

Outcome invoke(IDispatch* d, DISPID id, WORD flags, std::vector<VARIANT> positional,
               std::vector<Named> named) {
  std::vector<VARIANT> rgvarg;
  std::vector<DISPID> ids;
  for (const Named& n : named) {
    rgvarg.push_back(n.value);
    ids.push_back(n.id);
  }
  rgvarg.insert(rgvarg.end(), positional.rbegin(), positional.rend());
  DISPPARAMS params = {rgvarg.data(), ids.data(), static_cast<UINT>(rgvarg.size()),
                       static_cast<UINT>(ids.size())};
  Outcome out;
  EXCEPINFO excep = {};
  out.hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out.result.get(), &excep,
                     &out.arg_error);
  out.scode = excep.scode;
  out.source = text_of(excep.bstrSource);
  out.description = text_of(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  return out;
}

Outcome invoke(IDispatch* d, const char* name, WORD flags, std::vector<VARIANT> positional,
               std::vector<Named> named) {
  return invoke(d, id_of(d, name), flags, std::move(positional), std::move(named));
}

LONG get_long(IDispatch* d, const char* name) {
  const Outcome o = invoke(d, name, kScriptGet);
  EXPECT_EQ(o.hr, S_OK) << name;
  EXPECT_EQ(o.result->vt, VT_I4) << name;
  return o.result->lVal;
}

}  // namespace quilmar::test
